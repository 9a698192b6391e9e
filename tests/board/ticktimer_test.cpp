// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/pollcycle.h"
#include "board/ticktimer.h"

#include <QTimer>

#include <gtest/gtest.h>

// Whatever a timer was before, the tick timer repeats every tick period and
// is precise.
TEST(TickTimer, SetUpTickTimerMakesARepeatingPreciseTimerOfTheTickPeriod)
{
    QTimer timer;
    timer.setTimerType(Qt::VeryCoarseTimer);
    timer.setSingleShot(true);
    timer.setInterval(5000);

    board::SetUpTickTimer(timer);
    EXPECT_EQ(timer.timerType(), Qt::PreciseTimer);
    EXPECT_FALSE(timer.isSingleShot());
    EXPECT_EQ(timer.intervalAsDuration(), board::PollCycle::kTickPeriod);
    EXPECT_FALSE(timer.isActive());
}

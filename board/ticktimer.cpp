// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/ticktimer.h"

#include "board/pollcycle.h"

#include <QTimer>

namespace board {

void SetUpTickTimer(QTimer& timer)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(false);
    timer.setInterval(PollCycle::kTickPeriod);
}

} // namespace board

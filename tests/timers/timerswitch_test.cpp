// SPDX-License-Identifier: GPL-3.0-or-later
// The timers part on its own: a recording view, a manual clock and the fixed
// regional formats, no controller, no board.
#include "common/regional.h"
#include "support/fakeview.h"
#include "support/manualclock.h"
#include "timers/chantimer.h"
#include "timers/timerswitch.h"
#include "timertest.h"

#include <gtest/gtest.h>

namespace {

class TimerSwitchTest : public ::testing::Test
{
protected:
    FakeView view;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    TimerSwitch timers{view, clock, regional};
};

} // namespace

TEST_F(TimerSwitchTest, StartsOffAndEmpty)
{
    EXPECT_FALSE(timers.TimersOn());
    EXPECT_TRUE(timers.TimerList().isEmpty());
    EXPECT_TRUE(timers.ActiveTimerList().isEmpty());
}

TEST_F(TimerSwitchTest, TheSwitchNeedsRecords)
{
    timers.TimerSBClick();
    EXPECT_FALSE(timers.TimersOn());
    EXPECT_EQ(view.boxTexts(), QStringList{QStringLiteral("Timer list empty")});

    timers.setTimerList(kRelay5Record);
    timers.TimerSBClick();
    EXPECT_TRUE(timers.TimersOn());
    EXPECT_TRUE(view.lamp(View::Lamp::Timers));
    timers.TimerSBClick();
    EXPECT_FALSE(timers.TimersOn());
    EXPECT_EQ(view.status[1], QStringLiteral("Timers OFF"));
}

TEST_F(TimerSwitchTest, ThePassRunsOnTheRunningCopyOnly)
{
    clock.set(at(2014, 7, 3, 17, 30, 1));
    timers.setTimerList(kRelay5Record);
    int portOut = 0;
    // Nothing runs before activation copies the records.
    EXPECT_EQ(timers.ExecutePortTimerList(portOut), 0);
    EXPECT_EQ(portOut, 0);
    timers.startRun();
    EXPECT_EQ(timers.ExecutePortTimerList(portOut), 1);
    EXPECT_EQ(portOut, 0x0010);
    EXPECT_EQ(timers.ActiveTimerList().at(chantimer::Running), QStringLiteral("1"));
    EXPECT_EQ(timers.TimerList(), kRelay5Record);
}

TEST_F(TimerSwitchTest, ALoadClearsBothLists)
{
    timers.setTimerList(kRelay5Record);
    timers.startRun();
    timers.clearLists();
    EXPECT_TRUE(timers.TimerList().isEmpty());
    EXPECT_TRUE(timers.ActiveTimerList().isEmpty());
}

TEST_F(TimerSwitchTest, TheEditorReportsAChangeOnlyWhenTheDataChanged)
{
    timers.setTimerList(kRelay5Record);
    view.onTimerEditor = [this] {
        EXPECT_EQ(timers.chanForm().EditList, kRelay5Record);
        timers.chanForm().EditList = kRelay5Record + kRelay12Record;
        timers.chanForm().DataChanged = true;
        return true;
    };
    EXPECT_TRUE(timers.OutEditButtClick());
    EXPECT_EQ(timers.TimerList(), kRelay5Record + kRelay12Record);

    view.onTimerEditor = [] { return false; };
    EXPECT_FALSE(timers.OutEditButtClick());
    EXPECT_EQ(timers.TimerList(), kRelay5Record + kRelay12Record);
}

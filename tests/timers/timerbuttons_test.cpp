// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rig.h"
#include "timers/chantimer.h"
#include "timertest.h"

#include <gtest/gtest.h>

namespace {

class TimerButtons : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        rig.view.boxes.clear();
        rig.link.autoReply = true;
    }
    // One 100 ms tick of the running program: the tick, the board's answer,
    // the clock moving on.
    void tick()
    {
        rig.tick();
        rig.link.deliver();
        rig.clock.advanceMs(100);
    }
    // The relay commands written from now on, one per poll cycle.
    QList<QByteArray> relayCommands(int cycles)
    {
        const qsizetype first = rig.link.written.size();
        for (int i = 0; i < 2 * cycles; ++i)
            tick();
        QList<QByteArray> commands;
        for (qsizetype i = first; i < rig.link.written.size(); ++i) {
            if (rig.link.written.at(i).startsWith('R'))
                commands.append(rig.link.written.at(i));
        }
        return commands;
    }

    Rig rig;
};

} // namespace

TEST_F(TimerButtons, TheSwitchNeedsRecords)
{
    rig.core.TimerSBClick();
    EXPECT_FALSE(rig.core.timers().TimersOn());
    EXPECT_EQ(rig.view.boxTexts(), QStringList{"Timer list empty"});
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Information"));
    EXPECT_FALSE(rig.view.lamp(View::Lamp::Timers));

    rig.core.timers().setTimerList(kRelay5Record);
    rig.core.TimerSBClick();
    EXPECT_TRUE(rig.core.timers().TimersOn());
    EXPECT_TRUE(rig.view.lamp(View::Lamp::Timers));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Timers ON"));

    rig.core.timers().setTimerList({}); // turning off never looks at the list
    rig.core.TimerSBClick();
    EXPECT_FALSE(rig.core.timers().TimersOn());
    EXPECT_FALSE(rig.view.lamp(View::Lamp::Timers));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Timers OFF"));
    EXPECT_EQ(rig.view.boxes.size(), 1);
}

TEST_F(TimerButtons, TheRelayCommandCarriesTheRecordsBit)
{
    rig.clock.set(at(2014, 7, 3, 17, 29, 59));
    rig.core.timers().setTimerList(kRelay5Record);
    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    const QList<QByteArray> commands = relayCommands(8); // to 17:30:00.6
    ASSERT_EQ(commands.size(), 8);
    EXPECT_EQ(commands.first(), QByteArray("R0000\r"));
    EXPECT_EQ(commands.last(), QByteArray("R0010\r"));
    EXPECT_EQ(rig.view.relayWord, 0x0010);
    EXPECT_EQ(rig.core.timers().ActiveTimerList().at(chantimer::Running), QStringLiteral("1"));
    // The edited list is never touched by the engine.
    EXPECT_EQ(rig.core.timers().TimerList(), kRelay5Record);
}

TEST_F(TimerButtons, ToggleTimingEndToEnd)
{
    // Daily, every day, from one minute after "now", toggling 0.4 / 0.4.
    rig.clock.set(at(2014, 7, 3, 12, 0));
    rig.core.timers().setTimerList(
        dateRecord("05", at(2002, 1, 1, 12, 1), at(2002, 1, 1, 12, 5), "1111111", "0.4", "0.4"));
    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    const QList<QByteArray> before = relayCommands(300); // 60 s
    EXPECT_EQ(before.count("R0000\r"), 300);
    // The relay write of every second tick is a pass: phases of two writes.
    const QList<QByteArray> commands = relayCommands(12);
    QString bits;
    for (const QByteArray& command : commands)
        bits += command == "R0010\r" ? QLatin1Char('1') : QLatin1Char('0');
    EXPECT_EQ(bits, QStringLiteral("110011001100"));
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(TimerButtons, TimersOffSkipsThePass)
{
    rig.clock.set(at(2014, 7, 3, 17, 45));
    rig.core.timers().setTimerList(kRelay5Record);
    rig.core.ActiveButtClick();
    EXPECT_EQ(relayCommands(3).last(), QByteArray("R0000\r"));
    rig.core.TimerSBClick();
    EXPECT_EQ(relayCommands(1).last(), QByteArray("R0010\r"));
    // Off again: the relay keeps what the timers made of it.
    rig.core.TimerSBClick();
    rig.clock.set(at(2014, 7, 3, 18, 30));
    EXPECT_EQ(relayCommands(2).last(), QByteArray("R0010\r"));
}

TEST_F(TimerButtons, ABadRelayNumberStopsTheSystem)
{
    QStringList bad = kRelay5Record;
    bad[chantimer::Channel] = "17";
    rig.core.timers().setTimerList(bad);
    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    rig.link.written.clear();
    rig.tick();
    EXPECT_TRUE(rig.link.written.isEmpty()); // no relay command on that tick
    EXPECT_FALSE(rig.core.poll().SystemActive());
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::Idle);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("System error..."));
    EXPECT_EQ(rig.view.boxTexts(), QStringList{"Fatal error in time data."});
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Error"));
    EXPECT_TRUE(rig.core.timers().TimersOn());
}

TEST_F(TimerButtons, DamagedListsFromAFileStopTheSystemToo)
{
    for (const QStringList& list :
         {kRelay5Record.mid(0, 8), QStringList(kRelay5Record).replaceInStrings("41823.75", "x")}) {
        Rig fresh;
        fresh.startUp();
        fresh.core.timers().setTimerList(list);
        fresh.core.TimerSBClick();
        fresh.core.ActiveButtClick();
        fresh.tick();
        EXPECT_FALSE(fresh.core.poll().SystemActive());
        EXPECT_EQ(fresh.view.boxTexts(), QStringList{"Fatal error in time data."});
    }
}

TEST_F(TimerButtons, ActivationRenewsTheRunTimeLines)
{
    rig.clock.set(at(2014, 7, 3, 17, 45));
    rig.core.timers().setTimerList(kRelay5Record);
    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    (void)relayCommands(2);
    EXPECT_EQ(rig.core.timers().ActiveTimerList().at(chantimer::Running), QStringLiteral("1"));
    rig.core.ActiveButtClick(); // deactivate
    (void)relayCommands(2);
    ASSERT_FALSE(rig.core.poll().SystemActive());
    rig.core.ActiveButtClick();
    EXPECT_EQ(rig.core.timers().ActiveTimerList(), kRelay5Record);
}

TEST_F(TimerButtons, TheEditButtonCopiesInAndBackOnOk)
{
    rig.core.timers().setTimerList(kRelay5Record);
    rig.view.setStatusText(View::Panel::Clock, QStringLiteral("12:00:00"));
    ChanForm& form = rig.core.chanForm();
    form.EditList = kRelay12Record;
    QStringList seen;
    rig.view.onTimerEditor = [&] {
        seen = form.EditList;
        EXPECT_TRUE(rig.view.status[2].isEmpty());
        form.EditList.append(kRelay12Record);
        form.DataChanged = true;
        return true;
    };
    rig.core.OutEditButtClick();
    EXPECT_EQ(seen, kRelay5Record);
    EXPECT_EQ(rig.core.timers().TimerList(), kRelay5Record + kRelay12Record);
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);

    // Cancel after changes: nothing comes back.
    rig.view.onTimerEditor = [&] {
        form.EditList.clear();
        form.DataChanged = true;
        return false;
    };
    rig.core.OutEditButtClick();
    EXPECT_EQ(rig.core.timers().TimerList(), kRelay5Record + kRelay12Record);
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
}

// The clock steps back into a window that has closed: the relay stays off.
// That the window closed is known to the running copy only, never to the
// edited list or the editor, and the next activation starts afresh.
TEST_F(TimerButtons, AClockSteppedBackKeepsAClosedWindowClosed)
{
    rig.clock.set(at(2014, 7, 3, 17, 59, 59));
    rig.core.timers().setTimerList(kRelay5Record);
    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    const QList<QByteArray> window = relayCommands(6); // to 18:00:00.0
    EXPECT_EQ(window.count("R0010\r"), 5);
    EXPECT_EQ(window.last(), QByteArray("R0000\r"));
    rig.clock.set(rig.clock.now().addSecs(-60));
    EXPECT_EQ(relayCommands(20).count("R0000\r"), 20);
    EXPECT_EQ(rig.core.timers().TimerList(), kRelay5Record);

    QStringList edited;
    rig.view.onTimerEditor = [this, &edited] {
        edited = rig.core.chanForm().EditList;
        return true;
    };
    rig.core.OutEditButtClick();
    EXPECT_EQ(edited, kRelay5Record);
    EXPECT_EQ(rig.core.timers().TimerList(), kRelay5Record);

    rig.core.ActiveButtClick();
    for (int i = 0; i < 6 && rig.core.poll().SystemActive(); ++i)
        tick();
    ASSERT_FALSE(rig.core.poll().SystemActive());
    rig.core.ActiveButtClick();
    EXPECT_EQ(relayCommands(1), QList<QByteArray>{"R0010\r"});
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

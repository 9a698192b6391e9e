// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textlines.h"
#include "support/rig.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

// Each test runs in a fresh current folder, where the last-run file is read.
class StartUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }
    void writeLastRun(const QStringList& lines)
    {
        WriteTextLines(folder.filePath(QStringLiteral("v217.dat")), lines);
    }
    void startUp() { rig.run(); }

    QTemporaryDir folder;
    QString previous;
    struct : Rig
    {
        void run()
        {
            core.run([this] { core.Timer1Timer(); });
        }
    } rig;
};

TEST_F(StartUp, WithoutALastRunFile)
{
    startUp();
    EXPECT_FALSE(rig.core.FirstTick);
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703"));
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM x"));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Ready"));
    EXPECT_EQ(rig.link.opens, 0);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_TRUE(rig.view.relaysIdle);
    EXPECT_TRUE(rig.link.written.isEmpty());
}

TEST_F(StartUp, ALastRunFileOfOneOrThreeLinesIsIgnored)
{
    for (const QStringList& lines : {QStringList{"3"}, QStringList{"3", "*", "x"}, QStringList{}}) {
        writeLastRun(lines);
        Rig fresh;
        fresh.startUp();
        EXPECT_EQ(fresh.link.opens, 0);
        EXPECT_TRUE(fresh.view.boxes.isEmpty());
        EXPECT_EQ(fresh.view.caption, QStringLiteral("QMX V217 v140703"));
        EXPECT_EQ(fresh.view.status[1], QStringLiteral("Ready"));
    }
}

TEST_F(StartUp, TwoLinesOpenTheRememberedPort)
{
    writeLastRun({QStringLiteral("3"), QStringLiteral("*")});
    startUp();
    EXPECT_EQ(rig.link.Port(), 3);
    EXPECT_TRUE(rig.link.Active());
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM 3"));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Ready"));
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(StartUp, AStarForThePortFailsWithThePortMessage)
{
    writeLastRun({QStringLiteral("*"), QStringLiteral("*")});
    startUp();
    EXPECT_EQ(rig.link.opens, 1);
    EXPECT_FALSE(rig.link.Active());
    EXPECT_EQ(rig.view.boxTexts(),
              QStringList{QStringLiteral("There appears to be a problem accessing the COM Port")});
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM x"));
}

// The port of the last-run file that would not open leaves its reason in
// the message panel, where a start-up that opened it says "Ready".
TEST_F(StartUp, APortThatWouldNotOpenLeavesItsReasonInsteadOfReady)
{
    writeLastRun({QStringLiteral("3"), QStringLiteral("*")});
    rig.link.openSucceeds = false;
    rig.link.openError = EACCES;
    startUp();
    EXPECT_EQ(rig.view.boxTexts(),
              QStringList{QStringLiteral("There appears to be a problem accessing the COM Port")});
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM x"));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("COM 3: no permission"));
}

TEST_F(StartUp, ATwoCharacterPortLineSkipsTheOpening)
{
    writeLastRun({QStringLiteral("10"), QStringLiteral("*")});
    startUp();
    EXPECT_EQ(rig.link.opens, 0);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(StartUp, AnUnreadableLastRunFileEndsTheTickWithTheFailureBox)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("v217.dat")));
    startUp();
    EXPECT_FALSE(rig.core.FirstTick);
    EXPECT_EQ(rig.view.boxTexts(), QStringList{QStringLiteral("Cannot open file v217.dat.")});
    rig.tick(); // later ticks run normally
    EXPECT_EQ(rig.view.status[2], QStringLiteral("12:00:00"));
}

TEST_F(StartUp, FirstTickClearsTheSwitchesAndTheSetButtons)
{
    rig.core.rules().setRulesList({QStringLiteral("1H=01H")});
    rig.core.rules().InputRulesSBClick();
    rig.core.poll().activate();
    rig.core.loggerForm().LogDataValid = true;
    rig.core.InputNowSBClick();
    rig.core.PortSet = 5;
    rig.core.SetButtonState[2] = true;
    rig.core.project().setChangeCount(4);
    rig.core.timers().setTimerList({QStringLiteral("05"), QStringLiteral("1")});
    rig.core.timers().TimerSBClick();
    startUp();
    EXPECT_FALSE(rig.core.rules().RulesOn());
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.PortSet, 0);
    EXPECT_FALSE(rig.core.SetButtonState[2]);
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_TRUE(rig.core.timers().TimersOn()); // not touched
}

TEST_F(StartUp, TheClockPanelStandsStillWhileAnEditorIsOpen)
{
    startUp();
    EXPECT_EQ(rig.view.status[2], QString());
    rig.tick();
    EXPECT_EQ(rig.view.status[2], QStringLiteral("12:00:00"));
    rig.view.editorVisible = true;
    rig.clock.advanceMs(5000);
    rig.tick();
    EXPECT_EQ(rig.view.status[2], QStringLiteral("12:00:00"));
    rig.view.editorVisible = false;
    rig.tick();
    EXPECT_EQ(rig.view.status[2], QStringLiteral("12:00:05"));
}

TEST_F(StartUp, ActivationCopiesTheTimerList)
{
    startUp();
    rig.core.timers().setTimerList({QStringLiteral("old")});
    rig.core.timers().startRun();
    rig.core.timers().setTimerList({QStringLiteral("05"), QStringLiteral("1")});
    rig.core.ActiveButtClick();
    EXPECT_EQ(rig.core.timers().ActiveTimerList(), rig.core.timers().TimerList());
    EXPECT_TRUE(rig.view.lamp(View::Lamp::Activate));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("System opened"));
    EXPECT_FALSE(rig.view.relaysIdle);
}

} // namespace

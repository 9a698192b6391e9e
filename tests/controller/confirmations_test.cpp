// SPDX-License-Identifier: GPL-3.0-or-later
// Every question the program asks, answered as Esc or the box's close button
// answers it: each question names its safe side, and taking it loses
// nothing.
#include "logger/logtestrig.h"
#include "rules/printers.h"
#include "timers/timertest.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

struct Question
{
    const char* name;
    View::Answer escape;
    // Sets up the state, asks the question and checks that nothing was lost.
    std::function<void(LogRig&)> askAndCheck;
};

void rulesWithErrors(LogRig& rig)
{
    RulesForm& form = rig.core.rulesForm();
    form.FormActivate();
    form.RulesMemo = {QStringLiteral("1H")};
    EXPECT_FALSE(form.FormCloseQuery(rig.view)) << "the editor stays open";
    EXPECT_TRUE(form.AcceptText);
    EXPECT_EQ(form.RulesMemo, QStringList{QStringLiteral("1H")});
}

void clearRecord(LogRig& rig, void (ChanForm::*button)())
{
    ChanForm& form = rig.core.chanForm();
    form.EditList = kRelay12Record;
    form.FormActivate();
    (form.*button)();
    EXPECT_EQ(form.EditList, kRelay12Record);
    EXPECT_FALSE(form.DataChanged);
}

void loadWithChanges(LogRig& rig)
{
    rig.core.project().setChangeCount(1);
    rig.core.Load1Click();
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty()) << "neither saved nor loaded";
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
}

void closeWith(LogRig& rig, int changes, const QStringList& log)
{
    rig.core.project().setChangeCount(changes);
    rig.core.logger().setLogList(log);
    bool canClose = true;
    rig.core.FormCloseQuery(canClose);
    EXPECT_FALSE(canClose);
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty());
    EXPECT_EQ(rig.core.logger().LogList(), log);
}

void newRunOverOldLines(LogRig& rig)
{
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 2, 0), QStringLiteral("1.0")),
              QString());
    rig.activate();
    rig.core.logger().setLogList({QStringLiteral("an earlier run")});
    rig.core.InputNowSBClick();
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList(), QStringList{QStringLiteral("an earlier run")});
}

void timerSwitchWithFaultyFields(LogRig& rig)
{
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 2, 0), QStringLiteral("1.0")),
              QString());
    rig.activate();
    rig.core.loggerForm().fields[LoggerForm::OffSecond].clear();
    rig.core.InputLogSBClick();
    EXPECT_FALSE(rig.core.logger().LogOnTimer());
    EXPECT_TRUE(rig.core.logger().LogList().isEmpty());
}

// A run's safety copy left behind, found by the first tick.
void interruptedRunAtStart(LogRig& rig)
{
    const QString folder = rig.core.logRecovery().folder();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString copy = QDir(folder).filePath(LogRecovery::kFileName);
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Log Now initiated\r\n       0    12:00:00     0 0 0 0 0 1\r\n");
    file.close();
    rig.core.FirstTick = true; // the next start
    rig.tick();
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(rig.core.logger().LogList().size(), 2);
}

const Question kQuestions[] = {
    {"RulesTextHasErrors", View::Answer::Yes, rulesWithErrors},
    {"ClearDataRecord", View::Answer::No,
     [](LogRig& rig) { clearRecord(rig, &ChanForm::DeleteButtClick); }},
    {"ClearAllRelayTimerData", View::Answer::No,
     [](LogRig& rig) { clearRecord(rig, &ChanForm::ClearAllButtClick); }},
    {"SaveBeforeLoading", View::Answer::Cancel, loadWithChanges},
    {"SaveBeforeClosing", View::Answer::Cancel, [](LogRig& rig) { closeWith(rig, 1, {}); }},
    {"SaveTheLogBeforeClosing", View::Answer::Cancel,
     [](LogRig& rig) { closeWith(rig, 0, {QStringLiteral("a log line")}); }},
    {"SaveTheLogBeforeANewRun", View::Answer::Cancel, newRunOverOldLines},
    {"ContinueWithoutLogData", View::Answer::No, timerSwitchWithFaultyFields},
    {"SaveAnInterruptedRun", View::Answer::No, interruptedRunAtStart},
};

TEST(Confirmations, EscAndTheCloseButtonTakeTheSafeSideOfEveryQuestion)
{
    for (const Question& question : kQuestions) {
        SCOPED_TRACE(question.name);
        LogRig rig;
        rig.view.escapeQuestions = true;
        question.askAndCheck(rig);
        ASSERT_EQ(rig.view.boxes.size(), 1);
        EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Confirm"));
        EXPECT_EQ(rig.view.boxes.at(0).escape, question.escape);
    }
}

} // namespace

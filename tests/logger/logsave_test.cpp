// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textlines.h"
#include "logtestrig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class LogSave : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // A finished Log Now run of two data lines, the system idle again.
    void finishedRun()
    {
        ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 5, 0), "1.0"), QString());
        rig.activate();
        rig.core.InputNowSBClick();
        rig.timedCycles(10);
        rig.deactivate();
        ASSERT_EQ(rig.core.logger().LogList().size(), 11);
        rig.view.boxes.clear();
    }
    [[nodiscard]] QString file(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    LogRig rig;
};

// A user sets a schedule from now to two minutes from now at 1.0 s, starts
// Log Timer and changes inputs and relays during the run; the saved file
// shows every change at its time.
TEST_F(LogSave, AScheduledRunIsSavedAsItsExpectedFile)
{
    const QDateTime start = rig.clock.now();
    ASSERT_EQ(rig.confirmSchedule(start, start.addSecs(120), "1.0"), QString());
    rig.activate();
    rig.core.InputLogSBClick();
    ASSERT_TRUE(rig.core.logger().LogOnTimer());

    // The board's inputs and the relays at the moments they change.
    const QList<std::tuple<int, QByteArray, int>> changes{
        {20, "01", 0x0000}, {45, "05", 0x0003}, {70, "3F", 0x8001}, {100, "00", 0x0000}};
    while (rig.core.logger().LogOnTimer()) {
        const qint64 elapsed = start.msecsTo(rig.clock.now());
        for (const auto& [second, inputs, relays] : changes) {
            if (elapsed == second * 1000 - 100) {
                rig.link.inputDigits = inputs;
                rig.core.requestRelays(static_cast<quint16>(relays), 0xFFFF,
                                       Controller::Source::Manual);
            }
        }
        rig.timedCycles(1);
        ASSERT_LT(elapsed, 200'000);
    }
    rig.deactivate();

    rig.view.files.push_back(file(QStringLiteral("run.txt")));
    rig.core.run([this] { rig.core.LogSaveButtClick(); });
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.view.fileDialogs, QList<View::FileDialog>{View::FileDialog::SaveLog});
    EXPECT_TRUE(rig.core.logger().LogList().isEmpty());
    const QByteArray expected =
        readBytes(QStringLiteral(V217_LOGGER_TEST_DATA "/scheduled_run.txt"));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(readBytes(file(QStringLiteral("run.txt"))), expected);
}

TEST_F(LogSave, LinesEndInCarriageReturnLineFeedAndTheListEmpties)
{
    finishedRun();
    const QStringList lines = rig.core.logger().LogList();
    const int count = rig.core.logger().LogCount();
    const QString label = rig.view.countLabel;
    rig.view.files.push_back(file(QStringLiteral("log.txt")));
    rig.core.LogSaveButtClick();
    QByteArray expected;
    for (const QString& line : lines)
        expected += line.toLatin1() + "\r\n";
    EXPECT_EQ(readBytes(file(QStringLiteral("log.txt"))), expected);
    EXPECT_TRUE(rig.core.logger().LogList().isEmpty());
    EXPECT_EQ(rig.core.logger().LogCount(), count);
    EXPECT_EQ(rig.view.countLabel, label);
}

TEST_F(LogSave, OnlyWhileIdle)
{
    finishedRun();
    rig.activate();
    rig.view.files.push_back(file(QStringLiteral("log.txt")));
    rig.core.LogSaveButtClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty());
    EXPECT_EQ(rig.core.logger().LogList().size(), 11);
}

TEST_F(LogSave, NothingToSave)
{
    rig.core.LogSaveButtClick();
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Information"));
    EXPECT_EQ(rig.view.boxes.at(0).text, QStringLiteral("No log data in memory"));
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty());
}

TEST_F(LogSave, ACancelledDialogKeepsTheLines)
{
    finishedRun();
    rig.core.LogSaveButtClick();
    EXPECT_EQ(rig.view.fileDialogs.size(), 1);
    EXPECT_EQ(rig.core.logger().LogList().size(), 11);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(LogSave, AFailedWriteKeepsTheLinesAndTheEarlierFile)
{
    finishedRun();
    const QStringList lines = rig.core.logger().LogList();
    // A folder that does not exist, a folder itself, and a folder no one may
    // write to (also not root).
    const QStringList targets{file(QStringLiteral("missing/log.txt")), folder.path(),
                              QStringLiteral("/proc/v217-log.txt")};
    for (const QString& target : targets) {
        rig.view.boxes.clear();
        rig.view.files.push_back(target);
        rig.core.run([this] { rig.core.LogSaveButtClick(); });
        ASSERT_EQ(rig.view.boxes.size(), 1) << target.toStdString();
        EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Failure"));
        EXPECT_EQ(rig.view.boxes.at(0).text, QStringLiteral("Cannot create file %1.").arg(target));
        EXPECT_EQ(rig.core.logger().LogList(), lines);
    }
    EXPECT_FALSE(QFileInfo::exists(targets.at(0)));
}

class SaveQuestion : public LogSave
{
protected:
    void startAgain()
    {
        rig.activate();
        rig.view.boxes.clear();
        rig.core.run([this] { rig.core.InputNowSBClick(); });
    }
    void expectQuestion()
    {
        ASSERT_FALSE(rig.view.boxes.isEmpty());
        EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Confirm"));
        EXPECT_EQ(rig.view.boxes.at(0).text,
                  QStringLiteral("Log data available in memory.\r\rSave?"));
        EXPECT_EQ(rig.view.lastButtons, View::Buttons::YesNoCancel);
    }
};

TEST_F(SaveQuestion, CancelLeavesEverythingAsItWas)
{
    finishedRun();
    const QStringList lines = rig.core.logger().LogList();
    rig.view.answers.push_back(View::Answer::Cancel);
    startAgain();
    expectQuestion();
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList(), lines);
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty());
}

TEST_F(SaveQuestion, NoDiscardsTheLines)
{
    finishedRun();
    rig.view.answers.push_back(View::Answer::No);
    startAgain();
    expectQuestion();
    EXPECT_TRUE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList().size(), 7);
    EXPECT_TRUE(rig.view.fileDialogs.isEmpty());
}

TEST_F(SaveQuestion, YesSavesAndStarts)
{
    finishedRun();
    const QStringList lines = rig.core.logger().LogList();
    rig.view.answers.push_back(View::Answer::Yes);
    rig.view.files.push_back(file(QStringLiteral("first.txt")));
    startAgain();
    expectQuestion();
    EXPECT_EQ(ReadTextLines(file(QStringLiteral("first.txt"))), lines);
    EXPECT_TRUE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList().size(), 7);
}

TEST_F(SaveQuestion, YesAndACancelledDialogKeepTheLinesAndStartNothing)
{
    finishedRun();
    const QStringList lines = rig.core.logger().LogList();
    rig.view.answers.push_back(View::Answer::Yes);
    startAgain();
    EXPECT_EQ(rig.view.fileDialogs.size(), 1);
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList(), lines);
}

TEST_F(SaveQuestion, AFailedSaveDoesNotStartTheRun)
{
    finishedRun();
    const QStringList lines = rig.core.logger().LogList();
    rig.view.answers.push_back(View::Answer::Yes);
    rig.view.files.push_back(file(QStringLiteral("missing/first.txt")));
    startAgain();
    ASSERT_EQ(rig.view.boxes.size(), 2);
    EXPECT_EQ(rig.view.boxes.at(1).kind, QStringLiteral("Failure"));
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList(), lines);
}

TEST_F(SaveQuestion, NoRunStartsWhenTheBoardFellSilentDuringTheQuestion)
{
    finishedRun();
    rig.view.answers.push_back(View::Answer::No);
    rig.view.onConfirm = [this] {
        rig.link.autoReply = false;
        for (int i = 0; i < Controller::kWatchdogTicks; ++i)
            rig.tick();
    };
    startAgain();
    EXPECT_FALSE(rig.core.poll().SystemActive());
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.view.boxTexts().last(), QStringLiteral("System not actived"));
    EXPECT_EQ(rig.core.logger().LogList().size(), 11);
}

TEST_F(SaveQuestion, TheTimerSwitchAsksTheSame)
{
    finishedRun();
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 30, 0), "1.0"), QString());
    rig.view.answers.push_back(View::Answer::No);
    rig.activate();
    rig.view.boxes.clear();
    rig.core.InputLogSBClick();
    expectQuestion();
    EXPECT_TRUE(rig.core.logger().LogOnTimer());
}

class LogEditButton : public ::testing::Test
{
protected:
    LogRig rig;
};

TEST_F(LogEditButton, OKCopiesTheScheduleAndCountsTheChange)
{
    QStringList statusDuringWindow;
    rig.view.onLoggerWindow = [this, &statusDuringWindow] {
        statusDuringWindow.append(rig.view.status[1]);
        LoggerForm& form = rig.core.loggerForm();
        form.fields = {"03", "07",   "2014", "12", "00", "00", "03",
                       "07", "2014", "12",   "02", "00", "1.9"};
        form.LogDataChanged = true;
        return form.CheckTheLogData().isEmpty();
    };
    rig.core.LogEditButtClick();
    EXPECT_EQ(statusDuringWindow, QStringList{"Logging OFF"});
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Ready"));
    EXPECT_EQ(rig.core.logger().LogOnTime(), *EncodeDayNumber(2014, 7, 3, 12, 0, 0));
    EXPECT_EQ(rig.core.logger().LogOffTime(), *EncodeDayNumber(2014, 7, 3, 12, 2, 0));
    EXPECT_EQ(rig.core.logger().LogFrequency(), 1.9);
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 9);
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);

    // OK without a change copies again but counts nothing.
    rig.view.onLoggerWindow = [] { return true; };
    rig.core.loggerForm().LogDataChanged = false;
    rig.core.LogEditButtClick();
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
}

TEST_F(LogEditButton, CancelChangesNothing)
{
    rig.view.onLoggerWindow = [this] {
        rig.core.loggerForm().LoggerOnTime = 41000;
        rig.core.loggerForm().LoggerFrequency = 1.5; // 7 input reads
        rig.core.loggerForm().LogDataChanged = false;
        return true;
    };
    rig.core.LogEditButtClick();
    rig.view.onLoggerWindow = [this] {
        rig.core.loggerForm().LoggerOnTime = 42000;
        rig.core.loggerForm().LogDataChanged = true;
        return false;
    };
    rig.core.LogEditButtClick();
    EXPECT_EQ(rig.core.logger().LogOnTime(), 41000);
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 7);
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Ready"));
}

TEST_F(LogEditButton, OnlyWhileIdle)
{
    int shown = 0;
    rig.view.onLoggerWindow = [&shown] {
        ++shown;
        return true;
    };
    rig.activate();
    rig.core.LogEditButtClick();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("System opened"));
}

TEST_F(LogEditButton, AnEmptyWindowLeavesTheLoggerWithoutSchedule)
{
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 2, 0), "1.0"), QString());
    rig.view.onLoggerWindow = [this] {
        rig.core.loggerForm().ClearButtClick();
        return rig.core.loggerForm().CheckTheLogData().isEmpty();
    };
    rig.core.LogEditButtClick();
    EXPECT_EQ(rig.core.logger().LogOnTime(), 0);
    EXPECT_EQ(rig.core.logger().LogOffTime(), 0);
    EXPECT_EQ(rig.core.logger().LogFrequency(), 0);
    EXPECT_FALSE(rig.core.loggerForm().LogDataValid);
    rig.activate();
    rig.core.InputNowSBClick();
    rig.core.InputLogSBClick();
    EXPECT_EQ(rig.view.boxTexts(),
              QStringList({"Log data not available", "Log data not available"}));
}

} // namespace

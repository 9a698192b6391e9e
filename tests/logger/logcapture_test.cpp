// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/logcapture.h"
#include "logtestrig.h"

#include <gtest/gtest.h>

namespace {

const QString kHeaderInputs =
    QStringLiteral("Input [6 5 4 3 2 1]  Output [16 15 14 13 12 11 10 09 08 07 06 05 04 03 02 01]");
const QString kHeaderColumns = QStringLiteral("LogCount    Time            Input           Relay");

class LogCapture : public ::testing::Test
{
protected:
    // Starts a Log on Timer run from 12:00:00 to 12:02:00 at 12:00:00.
    void startTimerRun(const QString& frequency = QStringLiteral("1.0"))
    {
        ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 2, 0), frequency), QString());
        rig.activate();
        rig.core.InputLogSBClick();
        ASSERT_TRUE(rig.core.logger().LogOnTimer());
    }
    // Starts a Log Now run with a valid schedule.
    void startNowRun(const QString& frequency = QStringLiteral("1.0"))
    {
        ASSERT_EQ(rig.confirmSchedule(rig.at(13, 0, 0), rig.at(14, 0, 0), frequency), QString());
        rig.activate();
        rig.core.InputNowSBClick();
        ASSERT_TRUE(rig.core.logger().LogNow());
    }
    [[nodiscard]] qsizetype finishLines() const
    {
        return rig.core.logger().LogList().count(
                   QStringLiteral("Log Finish Time:  03/07/2014 14:00:00")) +
               rig.core.logger().LogList().count(
                   QStringLiteral("Log Finish Time:  03/07/2014 12:02:00"));
    }

    LogRig rig;
};

TEST_F(LogCapture, ATimerRunWritesItsHeader)
{
    startTimerRun();
    EXPECT_EQ(rig.core.logger().LogList(),
              QStringList({"Log on Timer initiated", "Log Start Time:  03/07/2014 12:00:00",
                           "Frequency = 1.0", kHeaderInputs, "", kHeaderColumns, ""}));
    EXPECT_EQ(rig.view.countLabel, QStringLiteral("Count:        0"));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Logging activated"));
    EXPECT_TRUE(rig.view.lamp(View::Lamp::LogTimer));
    EXPECT_FALSE(rig.view.lamp(View::Lamp::LogNow));
}

TEST_F(LogCapture, ANowRunStartsAtTheClockAndShowsTheFrequencyWithOneDecimal)
{
    rig.clock.set(rig.at(12, 34, 56).addMSecs(700));
    startNowRun(QStringLiteral("5"));
    EXPECT_EQ(rig.core.logger().LogList().mid(0, 3),
              QStringList({"Log Now initiated", "Log Start Time:  03/07/2014 12:34:56",
                           "Frequency = 5.0"}));
    EXPECT_TRUE(rig.view.lamp(View::Lamp::LogNow));
    EXPECT_FALSE(rig.view.lamp(View::Lamp::LogTimer));
}

TEST_F(LogCapture, AStartAtMidnightLeavesTheTimeOut)
{
    rig.clock.set(QDateTime(QDate(2014, 7, 4), QTime(0, 0)));
    ASSERT_EQ(rig.confirmSchedule(rig.clock.now(), rig.clock.now().addSecs(60), "0.4"), QString());
    rig.activate();
    rig.core.InputLogSBClick();
    EXPECT_EQ(rig.core.logger().LogList().at(1), QStringLiteral("Log Start Time:  04/07/2014"));
    EXPECT_EQ(rig.core.logger().LogList().at(2), QStringLiteral("Frequency = 0.4"));
}

TEST_F(LogCapture, WithPeriodFiveTheFirstLineComesAtTheFifthCapture)
{
    startTimerRun();
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 5);
    rig.timedCycles(4);
    EXPECT_EQ(rig.core.logger().LogList().size(), 7);
    rig.timedCycles(1);
    ASSERT_EQ(rig.core.logger().LogList().size(), 8);
    EXPECT_EQ(rig.core.logger().LogList().last(),
              QStringLiteral("       0    12:00:01     0 0 0 0 0 0     "
                             "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
    EXPECT_EQ(rig.view.countLabel, QStringLiteral("Count:        0"));
    EXPECT_TRUE(rig.view.lamp(View::Lamp::Activity));

    rig.timedCycles(5);
    ASSERT_EQ(rig.core.logger().LogList().size(), 9);
    EXPECT_TRUE(
        rig.core.logger().LogList().last().startsWith(QStringLiteral("       1    12:00:02")));
    EXPECT_EQ(rig.view.countLabel, QStringLiteral("Count:        1"));
    EXPECT_FALSE(rig.view.lamp(View::Lamp::Activity));
    EXPECT_EQ(rig.core.logger().LogCount(), 2);
}

TEST_F(LogCapture, WithPeriodOneEveryCaptureWritesALine)
{
    startNowRun(QStringLiteral("0.2"));
    ASSERT_EQ(rig.core.logger().LogPeriodTicks(), 1);
    for (int capture = 1; capture <= 12; ++capture) {
        rig.timedCycles(1);
        EXPECT_EQ(rig.core.logger().LogList().size(), 7 + capture);
        EXPECT_EQ(rig.view.lamp(View::Lamp::Activity), capture % 2 == 1);
    }
    EXPECT_EQ(rig.view.countLabel, QStringLiteral("Count:       11"));
}

TEST_F(LogCapture, AFrequencyBelowOneReadWritesNoDataLine)
{
    startNowRun(QStringLiteral("0.1"));
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 0);
    rig.timedCycles(20);
    EXPECT_EQ(rig.core.logger().LogList().size(), 7);
    EXPECT_TRUE(rig.core.logger().LogNow());
}

TEST_F(LogCapture, ColumnsAndBitOrderOfADataLine)
{
    rig.core.requestRelays(0x0003, 0xFFFF, Controller::Source::Manual); // relays 1 and 2 on
    rig.link.inputDigits = "05";                                        // inputs 1 and 3 high
    startNowRun(QStringLiteral("0.2"));
    rig.timedCycles(1);
    const QString line = rig.core.logger().LogList().last();
    ASSERT_EQ(line.size(), 72);
    // Columns counted from 1.
    const auto column = [&](int from, int to) { return line.mid(from - 1, to - from + 1); };
    EXPECT_EQ(column(1, 8), QStringLiteral("       0"));
    EXPECT_EQ(column(9, 12), QStringLiteral("    "));
    EXPECT_EQ(column(13, 20), QStringLiteral("12:00:00"));
    EXPECT_EQ(column(21, 25), QStringLiteral("     "));
    EXPECT_EQ(column(26, 36), QStringLiteral("0 0 0 1 0 1"));
    EXPECT_EQ(column(37, 41), QStringLiteral("     "));
    EXPECT_EQ(column(42, 72), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 1"));
}

TEST_F(LogCapture, TheLineShowsTheInputsOfItsOwnRead)
{
    startNowRun(QStringLiteral("0.2"));
    rig.link.inputDigits = "10"; // input 4
    rig.timedCycles(1);
    rig.link.inputDigits = "72"; // inputs 4, 5, 6 and 2
    rig.core.requestRelays(0x8000, 0xFFFF, Controller::Source::Manual);
    rig.timedCycles(1);
    EXPECT_TRUE(rig.core.logger().LogList().at(7).endsWith(
        QStringLiteral("0 0 1 0 0 0     0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0")));
    EXPECT_TRUE(rig.core.logger().LogList().at(8).endsWith(
        QStringLiteral("1 1 1 0 1 0     1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0")));
}

TEST_F(LogCapture, ATimerRunStartedBeforeItsOnTimeEndsAtTheFirstCapture)
{
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 30, 0), rig.at(12, 31, 0), "1.0"), QString());
    rig.activate();
    rig.core.InputLogSBClick();
    ASSERT_EQ(rig.core.logger().LogList().size(), 7);
    rig.timedCycles(1);
    EXPECT_FALSE(rig.core.logger().LogOnTimer());
    ASSERT_EQ(rig.core.logger().LogList().size(), 9);
    EXPECT_EQ(rig.core.logger().LogList().at(7), QString());
    EXPECT_EQ(rig.core.logger().LogList().at(8),
              QStringLiteral("Log Finish Time:  03/07/2014 12:31:00"));
    EXPECT_FALSE(rig.view.lamp(View::Lamp::LogTimer));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Logging deactivated"));
    rig.timedCycles(3);
    EXPECT_EQ(rig.core.logger().LogList().size(), 9);
}

TEST_F(LogCapture, ATimerRunEndsAtItsOffTime)
{
    startTimerRun();
    rig.clock.set(rig.at(12, 1, 59).addMSecs(700));
    rig.timedCycles(1);
    EXPECT_TRUE(rig.core.logger().LogOnTimer());
    rig.timedCycles(1); // captures at 12:02:00.000
    EXPECT_FALSE(rig.core.logger().LogOnTimer());
    EXPECT_EQ(rig.core.logger().LogList().last(),
              QStringLiteral("Log Finish Time:  03/07/2014 12:02:00"));
    EXPECT_EQ(finishLines(), 1);
}

TEST_F(LogCapture, ARunEndedByTheWatchdogGetsItsFinishLine)
{
    startNowRun();
    rig.timedCycles(5);
    rig.link.autoReply = false;
    for (int i = 0; i < Controller::kWatchdogTicks; ++i)
        rig.tick();
    EXPECT_FALSE(rig.core.poll().SystemActive());
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.core.logger().LogList().size(), 10);
    EXPECT_EQ(rig.core.logger().LogList().last(),
              QStringLiteral("Log Finish Time:  03/07/2014 14:00:00"));
    const QStringList& panel1 = rig.view.statusHistory[1];
    EXPECT_EQ(panel1.mid(panel1.size() - 3),
              QStringList({"Logging deactivated", "Comms error...", "Ready"}));
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Ready"));
}

TEST_F(LogCapture, ANowRunStoppedTwiceHasOneFinishLine)
{
    startNowRun();
    rig.timedCycles(5);
    rig.core.InputNowSBClick();
    EXPECT_FALSE(rig.core.logger().LogNow());
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Logging deactivated"));
    rig.timedCycles(5);
    rig.deactivate();
    EXPECT_FALSE(rig.core.poll().SystemActive());
    EXPECT_EQ(rig.view.status[1], QStringLiteral("System closed"));
    EXPECT_EQ(finishLines(), 1);
    EXPECT_EQ(rig.core.logger().LogList().size(), 10);
}

TEST_F(LogCapture, DeactivatingTheSystemEndsARun)
{
    startTimerRun();
    rig.timedCycles(5);
    rig.deactivate();
    EXPECT_FALSE(rig.core.logger().LogOnTimer());
    EXPECT_EQ(finishLines(), 1);
    EXPECT_FALSE(rig.view.lamp(View::Lamp::Activity));
    EXPECT_FALSE(rig.core.logger().LogLedOn());
}

TEST_F(LogCapture, ThePeriodCountsFromTheStartOfEachRun)
{
    startNowRun();
    rig.timedCycles(3);
    rig.core.InputNowSBClick();
    rig.view.answers.push_back(View::Answer::No);
    rig.core.InputNowSBClick();
    rig.timedCycles(4);
    EXPECT_EQ(rig.core.logger().LogList().size(), 7);
    rig.timedCycles(1);
    EXPECT_EQ(rig.core.logger().LogList().size(), 8);
}

struct SwitchCase
{
    const char* name;
    bool active;
    int running; // 0 none, 1 Log on Timer, 2 Log Now
    bool valid;
    bool timerSwitch;
    QString box;
};

void PrintTo(const SwitchCase& row, std::ostream* out)
{
    *out << row.name;
}

class LogSwitches : public ::testing::TestWithParam<SwitchCase>
{
};

TEST_P(LogSwitches, RefuseWithTheirInformation)
{
    const SwitchCase& row = GetParam();
    LogRig rig;
    if (row.valid) {
        ASSERT_EQ(rig.confirmSchedule(rig.at(11, 0, 0), rig.at(13, 0, 0), "1"), QString());
    }
    if (row.active)
        rig.activate();
    if (row.running == 1)
        rig.core.InputLogSBClick();
    if (row.running == 2)
        rig.core.InputNowSBClick();
    rig.view.boxes.clear();
    const QStringList before = rig.core.logger().LogList();

    if (row.timerSwitch)
        rig.core.InputLogSBClick();
    else
        rig.core.InputNowSBClick();

    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Information"));
    EXPECT_EQ(rig.view.boxes.at(0).text, row.box);
    EXPECT_EQ(rig.core.logger().LogList(), before);
    EXPECT_EQ(rig.core.logger().LogOnTimer(), row.running == 1);
    EXPECT_EQ(rig.core.logger().LogNow(), row.running == 2);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, LogSwitches,
    ::testing::Values(
        SwitchCase{"TimerWhileIdle", false, 0, true, true, "System not actived"},
        SwitchCase{"NowWhileIdle", false, 0, true, false, "System not actived"},
        SwitchCase{"TimerDuringNow", true, 2, true, true, "Logging active"},
        SwitchCase{"NowDuringTimer", true, 1, true, false, "Logging active"},
        SwitchCase{"TimerWithoutSchedule", true, 0, false, true, "Log data not available"},
        SwitchCase{"NowWithoutSchedule", true, 0, false, false, "Log data not available"},
        SwitchCase{"NowIdleWithoutSchedule", false, 0, false, false, "System not actived"}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.name; });

TEST_F(LogCapture, TheTimerSwitchChecksUnconfirmedFieldsAndAsks)
{
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 2, 0), "1.0"), QString());
    rig.activate();
    rig.core.loggerForm().fields[LoggerForm::OffSecond].clear();

    rig.view.answers.push_back(View::Answer::No);
    rig.core.InputLogSBClick();
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).text,
              QStringLiteral("Error: Times need completing\r\rContinue without Log data?"));
    EXPECT_EQ(rig.view.lastButtons, View::Buttons::YesNo);

    rig.view.answers.push_back(View::Answer::Yes);
    rig.core.InputLogSBClick();
    ASSERT_EQ(rig.view.boxes.size(), 3);
    EXPECT_EQ(rig.view.boxes.at(2).kind, QStringLiteral("Information"));
    EXPECT_EQ(rig.view.boxes.at(2).text, QStringLiteral("Log data not available"));
    EXPECT_FALSE(rig.core.logger().LogOnTimer());
    EXPECT_TRUE(rig.core.logger().LogList().isEmpty());
}

TEST_F(LogCapture, TheNowSwitchUsesTheLastCheckOnly)
{
    ASSERT_EQ(rig.confirmSchedule(rig.at(12, 0, 0), rig.at(12, 2, 0), "1.0"), QString());
    rig.activate();
    rig.core.loggerForm().fields[LoggerForm::OffSecond].clear();
    rig.core.InputNowSBClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_TRUE(rig.core.logger().LogNow());
}

TEST(DecToBinary, LowBitsHighestFirst)
{
    EXPECT_EQ(DecToBinary(5, 6), QStringLiteral(" 0 0 0 1 0 1"));
    EXPECT_EQ(DecToBinary(0x40 | 0x20, 6), QStringLiteral(" 1 0 0 0 0 0"));
    EXPECT_EQ(DecToBinary(0x18001, 16), QStringLiteral(" 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1"));
    EXPECT_EQ(DecToBinary(0, 0), QString());
}

TEST(LogPeriodFor, TruncatesTowardZeroAndStaysInRange)
{
    EXPECT_EQ(LogPeriodFor(1.0), 5);
    EXPECT_EQ(LogPeriodFor(0.3), 1);
    EXPECT_EQ(LogPeriodFor(0.1), 0);
    EXPECT_EQ(LogPeriodFor(1.9), 9);
    EXPECT_EQ(LogPeriodFor(-0.3), -1);
    EXPECT_EQ(LogPeriodFor(1e12), std::numeric_limits<int>::max());
}

} // namespace

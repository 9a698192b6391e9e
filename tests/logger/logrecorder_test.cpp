// SPDX-License-Identifier: GPL-3.0-or-later
// The logger part on its own: a recording view, a manual clock, the fixed
// regional formats and a flag for the poll cycle, no controller, no board.
#include "common/daynumber.h"
#include "common/regional.h"
#include "logger/logrecorder.h"
#include "support/fakeview.h"
#include "support/manualclock.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LogRecorderTest : public ::testing::Test
{
protected:
    void SetUp() override { log.logRecovery().setFolder(folder.path()); }

    // A Log Now run of one line per input read.
    void startLogNow()
    {
        log.loggerForm().LogDataValid = true;
        view.onLoggerWindow = [this] {
            log.loggerForm().LoggerFrequency = 0.2;
            return true;
        };
        ASSERT_FALSE(log.LogEditButtClick());
        active = true;
        log.InputNowSBClick();
        ASSERT_TRUE(log.LogNow());
    }

    QTemporaryDir folder;
    FakeView view;
    ManualClock clock;
    bool active = false;
    const Regional regional = Regional::fixed();
    LogRecorder log{view, clock, regional, [this] { return active; }};
};

} // namespace

TEST_F(LogRecorderTest, StartsWithNoRunAndNoTimes)
{
    EXPECT_FALSE(log.LogOnTimer());
    EXPECT_FALSE(log.LogNow());
    EXPECT_TRUE(log.LogList().isEmpty());
    EXPECT_EQ(log.LogOnTime(), 0);
    EXPECT_EQ(log.LogPeriodTicks(), 0);
}

TEST_F(LogRecorderTest, ARunNeedsTheActiveSystem)
{
    log.loggerForm().LogDataValid = true;
    log.InputNowSBClick();
    EXPECT_FALSE(log.LogNow());
    EXPECT_EQ(view.boxTexts(), QStringList{QStringLiteral("System not actived")});
}

TEST_F(LogRecorderTest, EveryCaptureWritesTheWordsItIsGiven)
{
    startLogNow();
    EXPECT_EQ(log.LogList().size(), 7);
    log.LogTheData(0x21, 0x8001);
    log.LogTheData(0x00, 0x0000);
    ASSERT_EQ(log.LogList().size(), 9);
    EXPECT_TRUE(log.LogList().at(7).endsWith(DecToBinary(0x21, 6) + QString(4, QLatin1Char(' ')) +
                                             DecToBinary(0x8001, 16)));
    EXPECT_EQ(log.LogCount(), 2);
    EXPECT_EQ(view.countLabel, QStringLiteral("Count:        1"));

    log.DeactivateLogging();
    EXPECT_FALSE(log.LogNow());
    EXPECT_EQ(log.LogList().size(), 11);
}

TEST_F(LogRecorderTest, LoadedTimesFillTheFormOrGoWithAMessage)
{
    const double on = DateTimeToDayNumber(QDateTime(QDate(2014, 7, 3), QTime(17, 30)));
    const double off = DateTimeToDayNumber(QDateTime(QDate(2014, 7, 3), QTime(18, 0)));
    log.loadTimes(on, off, 1.5);
    EXPECT_EQ(log.LogOnTime(), on);
    EXPECT_EQ(log.LogOffTime(), off);
    EXPECT_EQ(log.LogPeriodTicks(), 7);
    EXPECT_EQ(log.loggerForm().LoggerFrequency, 1.5);
    EXPECT_TRUE(view.boxes.isEmpty());

    log.loadTimes(on, off, 0);
    EXPECT_EQ(log.LogOnTime(), 0);
    EXPECT_EQ(log.LogFrequency(), 0);
    EXPECT_EQ(view.boxTexts(), QStringList{QStringLiteral("Found errors in Log Time data")});
}

TEST_F(LogRecorderTest, TheCloseQueryAsksOnlyAboutLines)
{
    EXPECT_TRUE(log.closeQuery());
    EXPECT_TRUE(view.boxes.isEmpty());
    log.setLogList({QStringLiteral("x")});
    view.answers = {View::Answer::Cancel, View::Answer::No};
    EXPECT_FALSE(log.closeQuery());
    EXPECT_TRUE(log.closeQuery());
    EXPECT_EQ(log.LogList(), QStringList{QStringLiteral("x")});
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/manualclock.h"
#include "timers/timelinewindow.h"
#include "timertest.h"

#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The window over lists the test holds, on a clock in the week of
// 3 July 2014 (a Thursday).
class Timeline : public ::testing::Test
{
protected:
    Timeline()
    {
        TimelineFeed feed;
        feed.editedRecords = [this] { return edited; };
        feed.runningRecords = [this] { return runningList; };
        feed.systemRunning = [this] { return running; };
        feed.ruleRelays = [this] { return ruleRelays; };
        feed.openRecord = [this](int record) { opened.append(record); };
        window = std::make_unique<TTimelineFm>(std::move(feed), clock);
        window->resize(800, 400);
    }

    // The interval of the chart that belongs to a record, the first if many.
    int barOf(int record)
    {
        const auto& intervals = window->chart().intervals();
        for (int i = 0; i < intervals.size(); ++i) {
            if (intervals.at(i).record == record)
                return i;
        }
        return -1;
    }

    ManualClock clock{QDateTime(QDate(2014, 7, 3), QTime(12, 0))};
    QStringList edited = kRelay5Record + kRelay12Record +
                         dateRecord("05", at(2014, 7, 3, 17, 50), at(2014, 7, 3, 19, 0));
    QStringList runningList = kRelay5Record;
    bool running = false;
    int ruleRelays = 0;
    QList<int> opened;
    std::unique_ptr<TTimelineFm> window;
};

} // namespace

TEST_F(Timeline, BarsFollowTheIntervalsAndTellTheirRecord)
{
    window->setRange(TTimelineFm::Range::Week);
    TimelineChart& chart = window->chart();
    // Relay 5 on Thursday; relay 12 on Friday and Monday; the third record.
    ASSERT_EQ(chart.intervals().size(), 4);
    const QRectF thursday = chart.barRect(barOf(0));
    const QRectF friday = chart.barRect(barOf(1));
    EXPECT_LT(thursday.right(), friday.left());
    EXPECT_LT(thursday.top(), friday.top()); // relay 5 above relay 12
    for (int i = 0; i < chart.intervals().size(); ++i)
        EXPECT_EQ(chart.barAt(chart.barRect(i).center()), i);

    const QString plain = chart.barText(barOf(0));
    EXPECT_TRUE(plain.startsWith("Record 0, relay 05")) << plain.toStdString();
    EXPECT_TRUE(plain.contains("ON  2014-07-03 17:30:00"));
    EXPECT_TRUE(plain.contains("OFF 2014-07-03 18:00:00"));
    const QString toggling = chart.barText(barOf(1));
    EXPECT_TRUE(toggling.contains("Toggling: ON 1.2 s, OFF 1 s")) << toggling.toStdString();
    EXPECT_TRUE(toggling.contains("ON  2014-07-04 08:00:00.000 to 08:00:01.200"));
    EXPECT_TRUE(toggling.contains("OFF 2014-07-04 08:00:01.200 to 08:00:02.200"));

    // Records 0 and 2 both hold relay 5 from 17:50 to 18:00.
    EXPECT_TRUE(chart.overlaps(barOf(0)));
    EXPECT_TRUE(chart.overlaps(barOf(2)));
    EXPECT_FALSE(chart.overlaps(barOf(1)));
    EXPECT_TRUE(chart.barText(barOf(2)).contains("Overlaps"));
}

TEST_F(Timeline, DoubleClickOpensTheRecordAndTheBarFollowsTheEdit)
{
    window->setRange(TTimelineFm::Range::Today);
    TimelineChart& chart = window->chart();
    const QRectF before = chart.barRect(barOf(2));
    QTest::mouseDClick(&chart, Qt::LeftButton, {}, before.center().toPoint());
    EXPECT_EQ(opened, QList<int>{2});

    // The editor moves the third record an hour later; the next look at
    // the feed moves its bar.
    edited = kRelay5Record + kRelay12Record +
             dateRecord("05", at(2014, 7, 3, 18, 50), at(2014, 7, 3, 20, 0));
    window->refresh();
    const QRectF after = chart.barRect(barOf(2));
    EXPECT_GT(after.left(), before.left());
    EXPECT_FALSE(chart.overlaps(barOf(2)));
    EXPECT_NE(chart.barAt(before.center()), barOf(2));
}

TEST_F(Timeline, RunningSystemSourceRulesAndMessages)
{
    window->setSource(TTimelineFm::Source::Running);
    ASSERT_EQ(window->chart().intervals().size(), 1);
    ruleRelays = 1 << 4;
    running = true;
    window->refresh();
    EXPECT_EQ(window->chart().rowLabel(5), "05 R");
    EXPECT_EQ(window->chart().rowLabel(6), "06");

    edited[9] = "20";
    window->setSource(TTimelineFm::Source::Edited);
    EXPECT_TRUE(window->chart().intervals().isEmpty());
    EXPECT_EQ(window->currentSchedule().faultyRecord, 1);
}

TEST_F(Timeline, ExportWritesCsvAndPngAndSaysWhyNot)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    window->setRange(TTimelineFm::Range::Dates, QDate(2014, 7, 3), QDate(2014, 7, 4));
    QString error;
    const QString csvPath = folder.filePath("week.csv");
    ASSERT_TRUE(window->exportTo(csvPath, error)) << error.toStdString();
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    EXPECT_EQ(lines.size(), 1 + 3 + 1);
    EXPECT_TRUE(lines.at(1).startsWith("05,0,2014-07-03T17:30:00")) << lines.at(1).toStdString();

    const QString pngPath = folder.filePath("week.png");
    ASSERT_TRUE(window->exportTo(pngPath, error)) << error.toStdString();
    EXPECT_EQ(QImage(pngPath).size(), window->chart().size() * window->devicePixelRatio());

    EXPECT_FALSE(window->exportTo(folder.filePath("missing/week.csv"), error));
    EXPECT_TRUE(error.contains("missing/week.csv"));
}

TEST_F(Timeline, KeepsItsPlaceInAFileOfItsOwn)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    window->show();
    window->resize(640, 360);
    window->hide();
    EXPECT_TRUE(QFile::exists(config.filePath("qmx-v217/timeline.place")));

    TTimelineFm again(TimelineFeed{}, clock);
    again.show();
    EXPECT_EQ(again.size(), QSize(640, 360));
    again.hide();
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

// Shown for the first time, with no place kept, it comes up over the middle
// of the window it belongs to and wholly inside the screen, even when it
// would be larger than the screen.
TEST_F(Timeline, FirstShownOverItsParentAndInsideTheScreen)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QWidget owner;
    const QRect area = owner.screen()->availableGeometry();
    QRect middle(0, 0, 300, 200);
    middle.moveCenter(area.center() + QPoint(20, 10));
    owner.setGeometry(middle);
    owner.show();

    TTimelineFm small(TimelineFeed{}, clock, &owner);
    small.resize(small.minimumSizeHint());
    small.show();
    EXPECT_LE((small.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              2);

    TTimelineFm large(TimelineFeed{}, clock, &owner);
    large.resize(area.size() * 2);
    large.show();
    EXPECT_TRUE(area.contains(large.frameGeometry()))
        << large.frameGeometry().width() << "x" << large.frameGeometry().height();

    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

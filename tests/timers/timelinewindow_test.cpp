// SPDX-License-Identifier: GPL-3.0-or-later
#include "safety/boardsettings.h"
#include "support/manualclock.h"
#include "support/timezone.h"
#include "timers/timelinewindow.h"
#include "timers/timerpass.h"
#include "timertest.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
        window = std::make_unique<TimelineWindow>(std::move(feed), clock);
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
    std::unique_ptr<TimelineWindow> window;
};

} // namespace

TEST_F(Timeline, BarsFollowTheIntervalsAndTellTheirRecord)
{
    window->setRange(TimelineWindow::Range::Week);
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
    window->setRange(TimelineWindow::Range::Today);
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
    window->setSource(TimelineWindow::Source::Running);
    ASSERT_EQ(window->chart().intervals().size(), 1);
    ruleRelays = 1 << 4;
    running = true;
    window->refresh();
    EXPECT_EQ(window->chart().rowLabel(5), "05 R");
    EXPECT_EQ(window->chart().rowLabel(6), "06");

    edited[9] = "20";
    window->setSource(TimelineWindow::Source::Edited);
    EXPECT_TRUE(window->chart().intervals().isEmpty());
    EXPECT_EQ(window->currentSchedule().faultyRecord, 1);
}

TEST_F(Timeline, RunningScheduleFollowsWindowsNotTheTogglePhase)
{
    // Relay 3 toggles 1 s ON, 1 s OFF in a window from 11:00 to 13:00; the
    // engine opens it at 12:00 and counts its phases down pass by pass.
    runningList =
        dateRecord("03", at(2014, 7, 3, 11, 0), at(2014, 7, 3, 13, 0), "0000000", "1", "1");
    running = true;
    int word = 0;
    const auto pass = [&] {
        ASSERT_GE(ExecuteTimerPass(runningList, word, dayNumber(clock.now()), u'.'), 0);
        clock.advanceMs(schedule::kPassMs);
    };
    pass();
    window->setRange(TimelineWindow::Range::Today);
    window->setSource(TimelineWindow::Source::Running);
    const QList<schedule::RelayOn> shown = window->currentSchedule().relays;
    ASSERT_FALSE(shown.isEmpty());
    ASSERT_EQ(window->chart().intervals().size(), 1);
    for (int look = 0; look < 6; ++look) {
        const QStringList before = runningList;
        pass();
        pass();
        ASSERT_NE(runningList, before);
        window->refresh();
        EXPECT_TRUE(window->currentSchedule().relays == shown) << look;
    }

    // The window closes and stays closed for the day: the chart follows.
    clock.set(QDateTime(QDate(2014, 7, 3), QTime(13, 0, 1)));
    pass();
    window->refresh();
    EXPECT_TRUE(window->chart().intervals().isEmpty());
    EXPECT_TRUE(window->chart().relays().isEmpty());

    // The system stops with the same records: the message says so.
    running = false;
    window->refresh();
    EXPECT_EQ(window->findChild<QLabel*>("MessageLabel")->text(),
              "The system is not running; its records as last started.");
}

TEST_F(Timeline, NowLineMovesOverTheChartAsDrawn)
{
    window->setRange(TimelineWindow::Range::Week);
    TimelineChart& chart = window->chart();
    chart.setNow(-1);
    const QImage plain = chart.grab().toImage();
    const int drawn = chart.picturesDrawn();
    const qint64 noon = clock.now().toMSecsSinceEpoch();
    for (int step = 0; step < 4; ++step) {
        chart.setNow(noon + step * 3'600'000);
        EXPECT_NE(chart.grab().toImage(), plain) << step;
    }
    chart.setNow(-1);
    EXPECT_EQ(chart.grab().toImage(), plain);
    EXPECT_EQ(chart.picturesDrawn(), drawn);

    // A new schedule, the rules' relays and a new size draw it afresh.
    window->setRange(TimelineWindow::Range::Today);
    EXPECT_NE(chart.grab().toImage(), plain);
    chart.setRuleRelays(1);
    const QImage marked = chart.grab().toImage();
    chart.resize(chart.size() + QSize(10, 0));
    EXPECT_NE(chart.grab().toImage().size(), marked.size());
    EXPECT_EQ(chart.picturesDrawn(), drawn + 3);
}

TEST_F(Timeline, ExportWritesCsvAndPngAndSaysWhyNot)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    window->setRange(TimelineWindow::Range::Dates, QDate(2014, 7, 3), QDate(2014, 7, 4));
    QString error;
    const QString csvPath = folder.filePath("week.csv");
    ASSERT_TRUE(window->exportTo(csvPath, error)) << error.toStdString();
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    // What the relays do: relay 5 from the first pass after 17:30 (the ON
    // line lies a hair after it) until the first record closes at 18:00,
    // the third record's window open or not.
    EXPECT_EQ(lines.at(0), "relay,on,off,on_record,off_record\r");
    EXPECT_EQ(lines.at(1), "05,2014-07-03T17:30:00.200+00:00,2014-07-03T18:00:00+00:00,0,0\r")
        << lines.at(1).toStdString();
    csv.close();
    // The record windows, one line each.
    ASSERT_TRUE(window->exportTo(csvPath, error, true)) << error.toStdString();
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> windows = csv.readAll().split('\n');
    EXPECT_EQ(windows.size(), 1 + 3 + 1);
    EXPECT_TRUE(windows.at(1).startsWith("05,0,2014-07-03T17:30:00"))
        << windows.at(1).toStdString();

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

    TimelineWindow again(TimelineFeed{}, clock);
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

    TimelineWindow small(TimelineFeed{}, clock, &owner);
    small.resize(small.minimumSizeHint());
    small.show();
    EXPECT_LE((small.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              2);

    TimelineWindow large(TimelineFeed{}, clock, &owner);
    large.resize(area.size() * 2);
    large.show();
    EXPECT_TRUE(area.contains(large.frameGeometry()))
        << large.frameGeometry().width() << "x" << large.frameGeometry().height();

    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

// The main bar of a row is what the relay does: with two windows on relay 3
// the later switch wins, and the bar ends where the second window closes,
// while both windows stay shown and told under it.
TEST_F(Timeline, MainBarIsWhatTheRelayDoesAndWindowsStayUnderIt)
{
    edited = dateRecord("03", at(2014, 7, 3, 4, 50, 0), at(2014, 7, 3, 4, 51, 48)) +
             dateRecord("03", at(2014, 7, 3, 4, 50, 30), at(2014, 7, 3, 4, 51, 8));
    window->setRange(TimelineWindow::Range::Today);
    TimelineChart& chart = window->chart();
    ASSERT_EQ(chart.relays().size(), 1);
    const schedule::RelayOn& on = chart.relays().first();
    EXPECT_EQ(on.toMs, at(2014, 7, 3, 4, 51, 8).toMSecsSinceEpoch());

    const QRectF bar = chart.relayRect(0);
    const QRectF first = chart.barRect(barOf(0));
    EXPECT_LT(bar.right(), first.right());
    EXPECT_LE(bar.bottom(), first.top());
    EXPECT_EQ(chart.relayAt(bar.center()), 0);
    EXPECT_EQ(chart.barAt(bar.center()), -1);
    const QString text = chart.relayText(0);
    EXPECT_TRUE(text.contains("OFF 2014-07-03 04:51:08.000 by record 1")) << text.toStdString();
    EXPECT_TRUE(text.contains("Window of record 0: 2014-07-03 04:50:00 to 2014-07-03 04:51:48"));

    QTest::mouseDClick(&chart, Qt::LeftButton, {}, bar.center().toPoint());
    EXPECT_EQ(opened, QList<int>{0});
}

// On the day the clocks go forward the skipped hour has no line and no
// label, and no hour label runs into the day's; the week has an hour grid.
TEST_F(Timeline, DayAndHourLabelsStandClearAndTheWeekHasHours)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    window->show();
    for (const int width : {500, 800, 1600}) {
        SCOPED_TRACE(width);
        window->resize(width, 400);
        QApplication::sendPostedEvents();
        window->setRange(TimelineWindow::Range::Dates, QDate(2026, 3, 29), QDate(2026, 3, 29));
        const TimeGrid grid = window->chart().timeGrid();
        QStringList texts;
        for (const HeaderLabel& label : grid.labels)
            texts << label.text;
        EXPECT_TRUE(texts.contains("Sun 29 Mar")) << texts.join(' ').toStdString();
        EXPECT_FALSE(texts.contains("02"));
        EXPECT_TRUE(texts.contains("12")) << texts.join(' ').toStdString();
        for (int a = 0; a < grid.labels.size(); ++a) {
            for (int b = a + 1; b < grid.labels.size(); ++b)
                EXPECT_FALSE(grid.labels[a].rect.intersects(grid.labels[b].rect))
                    << texts[a].toStdString() << " and " << texts[b].toStdString();
        }
        // 23 hours, 23 lines at the widest.
        if (width == 1600) {
            EXPECT_EQ(grid.lines.size(), 23);
        }
    }

    window->resize(800, 400);
    QApplication::sendPostedEvents();
    window->setRange(TimelineWindow::Range::Week);
    const TimeGrid week = window->chart().timeGrid();
    const auto midnights = std::count_if(week.lines.begin(), week.lines.end(),
                                         [](const auto& line) { return line.second; });
    EXPECT_EQ(midnights, 7);
    EXPECT_GE(week.lines.size() - midnights, 7 * 3);
}

// The file dialog gives what the user typed; a name without a suffix gets
// the chosen filter's.
TEST_F(Timeline, ExportAddsTheSuffixOfTheChosenFilter)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    window->setRange(TimelineWindow::Range::Week);
    window->show();
    const auto answer = [&](const QString& name, const QString& filter) {
        QTimer::singleShot(0, window.get(), [&, name, filter] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            dialog->setDirectory(folder.path());
            dialog->selectNameFilter(filter);
            dialog->selectFile(name);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        window->findChild<QPushButton*>("ExportButt")->click();
    };
    answer("week", "Relays as CSV (*.csv)");
    EXPECT_TRUE(QFile::exists(folder.filePath("week.csv")));
    EXPECT_FALSE(QFile::exists(folder.filePath("week")));
    answer("windows", "Record windows as CSV (*.csv)");
    QFile windows(folder.filePath("windows.csv"));
    ASSERT_TRUE(windows.open(QIODevice::ReadOnly));
    EXPECT_TRUE(windows.readLine().startsWith("relay,record,on,off"));
    answer("chart", "Picture (*.png)");
    EXPECT_FALSE(QImage(folder.filePath("chart.png")).isNull());
    answer("notes.txt", "Relays as CSV (*.csv)");
    EXPECT_TRUE(QFile::exists(folder.filePath("notes.txt")));

    EXPECT_EQ(TimelineWindow::exportPath("/tmp/a", "Picture (*.png)"), "/tmp/a.png");
    EXPECT_EQ(TimelineWindow::exportPath("/tmp/a.b/c", "Relays as CSV (*.csv)"), "/tmp/a.b/c.csv");
}

namespace {

// Whether any pixel of the rectangle has the colour.
bool holdsColour(const QImage& image, const QRect& rect, QColor colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (image.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
}

} // namespace

// Settings that change nothing the relays do leave the chart as it was,
// pixel for pixel.
TEST_F(Timeline, SettingsWithoutGuardsOrNamesDrawTheSameChart)
{
    window->setRange(TimelineWindow::Range::Week);
    TimelineChart& chart = window->chart();
    chart.setNow(-1);
    const QImage plain = chart.grab().toImage();
    safety::BoardSettings quiet;
    quiet.debounce[2] = 3;
    quiet.startState = safety::StartState{safety::StartState::Mode::Last, 0};
    quiet.deadTime = std::chrono::seconds(2);
    window->setBoardSettings(quiet);
    EXPECT_EQ(chart.grab().toImage(), plain);
    EXPECT_TRUE(chart.holds().isEmpty());
    window->setBoardSettings({});
    EXPECT_EQ(chart.grab().toImage(), plain);
}

TEST_F(Timeline, InterlocksAndMaximumOnTimesAreDrawnAsTheRelaysWillDoThem)
{
    // Relay 02 asked while relay 01 is on; relay 05 longer than it may.
    edited = dateRecord("01", at(2014, 7, 3, 13, 0), at(2014, 7, 3, 15, 0)) +
             dateRecord("02", at(2014, 7, 3, 14, 0), at(2014, 7, 3, 16, 0)) + kRelay5Record;
    safety::BoardSettings settings;
    settings.interlocks = {0x0003};
    settings.maxOn[4] = std::chrono::minutes(20);
    settings.relayNames[0] = "Pump";
    window->setRange(TimelineWindow::Range::Today);
    window->setBoardSettings(settings);
    TimelineChart& chart = window->chart();

    EXPECT_EQ(chart.rowLabel(1), "01 Pump");
    EXPECT_EQ(chart.rowLabel(2), "02");
    // The records' own passes may fall a pass after their times; the
    // guards act on the passes the records ask at.
    const QList<schedule::RelayOn>& asked = window->currentSchedule().relays;
    ASSERT_EQ(asked.size(), 3);
    const qint64 cutAt = asked.at(2).fromMs + 20 * 60'000;
    EXPECT_EQ(chart.relays(), (QList<schedule::RelayOn>{
                                  asked.at(0),
                                  {5, asked.at(2).fromMs, cutAt, 2, -1},
                              }));
    using schedule::Hold;
    ASSERT_EQ(chart.holds(), (QList<Hold>{
                                 {2, asked.at(1).fromMs, asked.at(1).toMs, Hold::Why::Interlock, 1},
                                 {5, cutAt, asked.at(2).toMs, Hold::Why::MaxOn, 0},
                             }));

    // Held where relay 02's bar would be, and said why.
    const QRectF held = chart.holdRect(0);
    EXPECT_GT(held.top(), chart.relayRect(0).top());
    EXPECT_LT(held.top(), chart.relayRect(1).top());
    EXPECT_LT(held.left(), chart.relayRect(0).right());
    EXPECT_GT(held.right(), chart.relayRect(0).right());
    EXPECT_EQ(chart.holdAt(held.center()), 0);
    EXPECT_EQ(chart.relayAt(held.center()), -1);
    const QStringList why = chart.holdText(0).split('\n');
    ASSERT_EQ(why.size(), 3);
    EXPECT_EQ(why.at(0), "Relay 02 held off");
    EXPECT_TRUE(why.at(1).startsWith("2014-07-03 14:00:0")) << why.at(1).toStdString();
    EXPECT_EQ(why.at(2), "Interlock with relay 01 (Pump) (group 01,02): asked on while it was "
                         "on, or together with it; off until a record switches it on again");
    EXPECT_TRUE(chart.holdText(1).contains("Cut off at its maximum on-time 20min"));
    const QString cutText =
        QDateTime::fromMSecsSinceEpoch(cutAt).toString("yyyy-MM-dd HH:mm:ss.zzz");
    EXPECT_TRUE(chart.relayText(1).contains("OFF " + cutText + " at its maximum on-time"))
        << chart.relayText(1).toStdString();
    EXPECT_TRUE(window->findChild<QLabel*>("MessageLabel")->text().contains("hatched"));

    // The export of what the relays do is what the chart shows.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QString error;
    ASSERT_TRUE(window->exportTo(folder.filePath("relays.csv"), error)) << error.toStdString();
    QFile csv(folder.filePath("relays.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray exported = csv.readAll();
    EXPECT_EQ(exported, schedule::RelaysToCsv(chart.relays(), QTimeZone::systemTimeZone()));
    EXPECT_FALSE(exported.contains("\n02,"));

    // Drawn hatched: orange for the interlock, red for the cut; the row
    // labels' column has made room for the name.
    chart.setNow(-1);
    const QImage image = chart.grab().toImage();
    ASSERT_EQ(image.size(), chart.size());
    EXPECT_TRUE(holdsColour(image, chart.holdRect(0).toAlignedRect(), QColor(230, 120, 0)));
    EXPECT_TRUE(holdsColour(image, chart.holdRect(1).toAlignedRect(), QColor(200, 0, 0)));
    EXPECT_FALSE(holdsColour(image, chart.relayRect(0).toAlignedRect(), QColor(230, 120, 0)));
    EXPECT_GT(chart.relayRect(0).left(), 40);
}

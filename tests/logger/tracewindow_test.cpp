// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/tracewindow.h"
#include "support/manualclock.h"

#include <QApplication>
#include <QFontMetricsF>

#include <gtest/gtest.h>

// The cursor tells the time and the 22 levels of the last read up to it;
// pausing holds the strip while the clock and the reads go on.
TEST(TraceWindow, CursorLevelsAndPause)
{
    SignalTrace trace;
    const QDateTime start(QDate(2014, 7, 3), QTime(10, 0));
    ManualClock clock(start);
    const qint64 t0 = start.toMSecsSinceEpoch();
    trace.addRelays(t0, 0x8001);
    trace.addInputs(t0 + 100, 0x21);
    clock.advanceMs(30'000);
    TraceWindow window(trace, clock);
    window.setMinutes(1);
    TraceStrip& strip = window.strip();
    EXPECT_EQ(strip.endMs(), t0 + 30'000);
    EXPECT_EQ(strip.lengthMs(), 60'000);

    strip.setCursor(strip.timeAt(strip.xOf(t0 + 150)));
    EXPECT_EQ(strip.cursorText().section(' ', 2),
              QStringLiteral("I1-I6 100001  01-16 1000000000000001"));
    EXPECT_TRUE(strip.cursorText().startsWith("10:00:00."));

    window.setPaused(true);
    clock.advanceMs(10'000);
    window.follow();
    EXPECT_EQ(strip.endMs(), t0 + 30'000);
    window.setPaused(false);
    EXPECT_EQ(strip.endMs(), t0 + 40'000);
    strip.setCursor(-1);
    EXPECT_TRUE(strip.cursorText().isEmpty());
}

// The strip's drawing: every time label inside the strip, rows whose step
// is smaller than the room between them, and no level drawn where the
// board was not read.
TEST(TraceWindow, LabelsRowsAndGapsAfterAFault)
{
    SignalTrace trace;
    const QDateTime start(QDate(2014, 7, 3), QTime(10, 0));
    ManualClock clock(start);
    const qint64 t0 = start.toMSecsSinceEpoch();
    // Polled for 10 s with input 1 high, then silent: the watchdog, and the
    // system idle for 20 s until it is activated again with input 1 low.
    for (qint64 ms = 0; ms < 10'000; ms += 200)
        trace.addInputs(t0 + ms, 0x01);
    trace.addFault(t0 + 11'500, SignalTrace::Kind::Watchdog);
    for (qint64 ms = 31'500; ms <= 60'000; ms += 200)
        trace.addInputs(t0 + ms, 0x00);
    clock.advanceMs(60'000);
    TraceWindow window(trace, clock);
    window.setMinutes(1);
    window.resize(760, 420);
    window.show();
    TraceStrip& strip = window.strip();

    // The tick at the strip's end has its label too, inside the strip.
    const QList<TraceStrip::TimeLabel> labels = strip.timeLabels();
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.last().text, QStringLiteral("10:01:00"));
    for (const TraceStrip::TimeLabel& label : labels)
        EXPECT_TRUE(QRectF(strip.rect()).contains(label.rect)) << label.text.toStdString();
    // As narrow as the window goes: still inside, and apart.
    window.resize(window.minimumSizeHint());
    QApplication::sendPostedEvents();
    const QList<TraceStrip::TimeLabel> narrow = strip.timeLabels();
    ASSERT_FALSE(narrow.isEmpty());
    EXPECT_EQ(narrow.last().text, QStringLiteral("10:01:00"));
    for (qsizetype i = 0; i < narrow.size(); ++i) {
        EXPECT_TRUE(QRectF(strip.rect()).contains(narrow[i].rect));
        if (i > 0) {
            EXPECT_LT(narrow[i - 1].rect.right(), narrow[i].rect.left());
        }
    }

    for (int row = 1; row < TraceStrip::kSignals; ++row) {
        const double step = strip.levelY(row, false) - strip.levelY(row, true);
        EXPECT_GT(step, 0);
        EXPECT_GT(strip.levelY(row, true) - strip.levelY(row - 1, false), step) << row;
    }

    // Input 1: high up to the watchdog, nothing in the gap, low from the
    // first read after it.
    const QList<TraceStrip::LevelRun> runs = strip.levelRuns(0);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_TRUE(runs[0].high);
    EXPECT_EQ(runs[0].toMs, t0 + 11'500);
    EXPECT_FALSE(runs[1].high);
    EXPECT_EQ(runs[1].fromMs, t0 + 31'500);
    EXPECT_EQ(runs[1].toMs, t0 + 59'900);
    strip.setCursor(t0 + 20'000);
    EXPECT_TRUE(strip.cursorText().endsWith("no reads since the watchdog"))
        << strip.cursorText().toStdString();
}

// Named rows say their names and the label column widens to the longest;
// without names the strip is drawn exactly as before.
TEST(TraceWindow, RowsShowTheBoardsNames)
{
    SignalTrace trace;
    const QDateTime start(QDate(2014, 7, 3), QTime(10, 0));
    ManualClock clock(start);
    for (qint64 ms = 0; ms < 10'000; ms += 200)
        trace.addInputs(start.toMSecsSinceEpoch() + ms, 0x05);
    clock.advanceMs(10'000);
    TraceWindow window(trace, clock);
    window.resize(760, 420);
    window.show();
    TraceStrip& strip = window.strip();
    const QImage plain = strip.grab().toImage();
    const double plainLeft = strip.xOf(strip.endMs() - strip.lengthMs());

    strip.setNames(QStringList(6), QStringList(16));
    EXPECT_EQ(strip.grab().toImage(), plain);
    for (int row = 0; row < TraceStrip::kSignals; ++row)
        EXPECT_EQ(strip.rowLabel(row), TraceStrip::signalName(row));

    QStringList inputs(6);
    inputs[2] = QStringLiteral("Float switch");
    QStringList relays(16);
    relays[1] = QStringLiteral("Pump");
    strip.setNames(inputs, relays);
    EXPECT_EQ(strip.rowLabel(2), QStringLiteral("I3 (Float switch)"));
    EXPECT_EQ(strip.rowLabel(7), QStringLiteral("02 (Pump)"));
    EXPECT_EQ(strip.rowLabel(0), QStringLiteral("I1"));
    EXPECT_EQ(strip.rowLabel(6), QStringLiteral("01"));
    const double left = strip.xOf(strip.endMs() - strip.lengthMs());
    EXPECT_GT(left, plainLeft);
    EXPECT_GE(left, QFontMetricsF(strip.font()).horizontalAdvance(strip.rowLabel(2)) + 3);
    EXPECT_NE(strip.grab().toImage(), plain);

    strip.setNames({}, {});
    EXPECT_EQ(strip.grab().toImage(), plain);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/tracewindow.h"
#include "support/manualclock.h"

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
    TTraceFm window(trace, clock);
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

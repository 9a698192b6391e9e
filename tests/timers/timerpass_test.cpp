// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/chantimer.h"
#include "timers/timerpass.h"
#include "timertest.h"

#include <gtest/gtest.h>

using namespace chantimer;

namespace {

constexpr int kRelay5 = 1 << 4;
constexpr int kRelay12 = 1 << 11;
constexpr qint64 kPassMs = 200;

struct Change
{
    QDateTime when;
    bool on;
};

// Runs passes from `from` to `to`, one every 200 ms inside the windows of
// interest and once a minute elsewhere, and records when the relay bit
// changed.
QList<Change> simulate(QStringList& records, int& portOut, int bit, const QDateTime& from,
                       const QDateTime& to, const std::function<bool(const QTime&)>& fine)
{
    QList<Change> changes;
    for (QDateTime t = from; t <= to;) {
        const bool before = (portOut & bit) != 0;
        EXPECT_NE(ExecuteTimerPass(records, portOut, dayNumber(t), u'.'), -1);
        const bool after = (portOut & bit) != 0;
        if (before != after)
            changes.append({t, after});
        t = t.addMSecs(fine(t.time()) ? kPassMs : 60'000);
    }
    return changes;
}

bool near(const QTime& t, const QTime& a, const QTime& b)
{
    return t >= a.addSecs(-60) && t <= b.addSecs(60);
}

} // namespace

TEST(TimerPass, TheExampleRecordsAcrossAWeek)
{
    // Monday 30 June 2014 to Sunday 6 July 2014.
    QStringList records = kRelay5Record + kRelay12Record;
    int portOut = 0;
    QList<QDateTime> relay12Opens;
    QList<QDateTime> relay12Closes;
    QList<Change> relay5;
    const auto fine = [](const QTime& t) {
        return near(t, QTime(8, 0), QTime(8, 30)) || near(t, QTime(17, 30), QTime(18, 0));
    };
    for (QDateTime t = at(2014, 6, 30, 0, 0); t < at(2014, 7, 7, 0, 0);) {
        const bool running12 = records.at(9 + Running) == QLatin1String("1");
        const bool relay5On = portOut & kRelay5;
        ASSERT_NE(ExecuteTimerPass(records, portOut, dayNumber(t), u'.'), -1);
        if (!running12 && records.at(9 + Running) == QLatin1String("1"))
            relay12Opens.append(t);
        if (running12 && records.at(9 + Running) != QLatin1String("1"))
            relay12Closes.append(t);
        if (relay5On != bool(portOut & kRelay5))
            relay5.append({t, !relay5On});
        t = t.addMSecs(fine(t.time()) ? kPassMs : 60'000);
    }

    // The date-mode record opens once and closes once. Its ON line is a
    // little above 17:30:00, so the pass at 17:30:00.0 is still outside.
    ASSERT_EQ(relay5.size(), 2);
    EXPECT_EQ(relay5.at(0).when, at(2014, 7, 3, 17, 30, 0, 200));
    EXPECT_TRUE(relay5.at(0).on);
    EXPECT_EQ(relay5.at(1).when, at(2014, 7, 3, 18, 0));
    EXPECT_FALSE(relay5.at(1).on);

    // The daily record runs on Monday and Friday only, from 08:00 to 08:30.
    EXPECT_EQ(relay12Opens, (QList<QDateTime>{at(2014, 6, 30, 8, 0), at(2014, 7, 4, 8, 0)}));
    EXPECT_EQ(relay12Closes,
              (QList<QDateTime>{at(2014, 6, 30, 8, 30, 0, 200), at(2014, 7, 4, 8, 30, 0, 200)}));
    EXPECT_EQ(portOut, 0);
    EXPECT_EQ(records.at(9 + TogState), QStringLiteral("0"));
}

TEST(TimerPass, ToggleOnOnePointTwoOffOne)
{
    QStringList records = kRelay12Record;
    int portOut = 0;
    QString bits;
    QStringList counts;
    QDateTime t = at(2014, 6, 30, 8, 0); // a Monday
    for (int pass = 0; pass < 24; ++pass, t = t.addMSecs(kPassMs)) {
        const int result = ExecuteTimerPass(records, portOut, dayNumber(t), u'.');
        EXPECT_EQ(result,
                  (pass == 0 || pass == 6 || pass == 11 || pass == 17 || pass == 22) ? 1 : 0)
            << "pass " << pass;
        bits += (portOut & kRelay12) ? QLatin1Char('1') : QLatin1Char('0');
        counts.append(records.at(TogCount));
    }
    // On at the opening pass, off 6 passes later, on again 5 passes after
    // that, and so on.
    EXPECT_EQ(bits, QStringLiteral("111111000001111110000011"));
    // The count is stored back as text on every pass and reloaded at phase
    // ends; the opening pass does not count.
    EXPECT_EQ(counts.mid(0, 8), (QStringList{"1.2", "1", "0.8", "0.6", "0.4", "0.2", "1", "0.8"}));
    EXPECT_EQ(counts.at(11), QStringLiteral("1.2"));
}

TEST(TimerPass, TogglingCountsPassesNotTime)
{
    QStringList records =
        dateRecord("03", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 11, 0), "0000000", "0.4", "0.4");
    int portOut = 0;
    const double t = dayNumber(at(2014, 7, 3, 10, 30));
    QString bits;
    for (int pass = 0; pass < 9; ++pass) {
        (void)ExecuteTimerPass(records, portOut, t, u'.'); // the clock stands still
        bits += (portOut & 4) ? QLatin1Char('1') : QLatin1Char('0');
    }
    EXPECT_EQ(bits, QStringLiteral("110011001"));
}

TEST(TimerPass, OverlappingRecordsOnOneRelay)
{
    QStringList records = dateRecord("01", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 12, 0)) +
                          dateRecord("01", at(2014, 7, 3, 11, 0), at(2014, 7, 3, 11, 30));
    int portOut = 0;
    const auto changes = simulate(records, portOut, 1, at(2014, 7, 3, 9, 59), at(2014, 7, 3, 12, 1),
                                  [](const QTime&) { return true; });
    // On at 10:00, still on at 11:00, off at 11:30 although the first window
    // is open; the first window's close at 12:00 leaves it off.
    ASSERT_EQ(changes.size(), 2);
    EXPECT_TRUE(changes.at(0).on);
    EXPECT_EQ(changes.at(0).when.time().toString("HH:mm"), QStringLiteral("10:00"));
    EXPECT_FALSE(changes.at(1).on);
    EXPECT_EQ(changes.at(1).when.time().toString("HH:mm"), QStringLiteral("11:30"));
    // Both windows are closed and keep the day they closed on.
    EXPECT_EQ(records.at(Running), QStringLiteral("c41823"));
    EXPECT_EQ(records.at(9 + Running), QStringLiteral("c41823"));
}

TEST(TimerPass, TheFirstWindowStaysOpenWhenASecondOneClosesTheRelay)
{
    QStringList records = dateRecord("01", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 12, 0)) +
                          dateRecord("01", at(2014, 7, 3, 11, 0), at(2014, 7, 3, 11, 30));
    int portOut = 0;
    for (const QDateTime& t :
         {at(2014, 7, 3, 10, 30), at(2014, 7, 3, 11, 15), at(2014, 7, 3, 11, 45)})
        EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(t), u'.'), 1);
    EXPECT_EQ(portOut, 0);
    EXPECT_EQ(records.at(Running), QStringLiteral("1"));
}

TEST(TimerPass, ManualChangesLastUntilTheNextTransition)
{
    QStringList records = dateRecord("03", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 11, 0));
    int portOut = 0x0004 | 0x8000; // relay 3 by hand before the window; relay 16 never named
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 9, 0)), u'.'), 0);
    EXPECT_EQ(portOut, 0x8004);

    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 10, 0, 1)), u'.'), 1);
    EXPECT_EQ(portOut, 0x8004);
    portOut &= ~0x0004; // the user switches relay 3 off inside the window
    for (int minute = 1; minute < 59; ++minute)
        EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 10, minute)), u'.'),
                  0);
    EXPECT_EQ(portOut, 0x8000);

    portOut |= 0x0004; // and on again: the window's close still clears it
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 11, 0)), u'.'), 1);
    EXPECT_EQ(portOut, 0x8000);
}

TEST(TimerPass, OffBeforeOnNeverSwitches)
{
    for (const QString& days : {QStringLiteral("0000000"), QStringLiteral("1111111")}) {
        SCOPED_TRACE(days.toStdString());
        QStringList records = dateRecord("02", at(2014, 7, 3, 12, 0), at(2014, 7, 3, 11, 0), days);
        int portOut = 0;
        const auto changes = simulate(records, portOut, 2, at(2014, 7, 3, 0, 0),
                                      at(2014, 7, 4, 23, 59), [](const QTime&) { return false; });
        EXPECT_TRUE(changes.isEmpty());
        EXPECT_EQ(records.at(Running), QStringLiteral("0"));
    }
}

TEST(TimerPass, ADateWindowAlreadyOpenAtActivationSwitchesAtOnce)
{
    QStringList records = kRelay5Record;
    int portOut = 0;
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 17, 45)), u'.'), 1);
    EXPECT_EQ(portOut, kRelay5);
    EXPECT_EQ(records.mid(Running), (QStringList{"1", "1", "0"}));
    // Once past OFF a date-mode record never opens again.
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 18, 0)), u'.'), 1);
    EXPECT_EQ(portOut, 0);
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 18, 30)), u'.'), 0);
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 4, 17, 45)), u'.'), 0);
    EXPECT_EQ(portOut, 0);
}

TEST(TimerPass, EmptyListChangesNothing)
{
    QStringList records;
    int portOut = 0x1234;
    EXPECT_EQ(ExecuteTimerPass(records, portOut, 41823.5, u'.'), 0);
    EXPECT_EQ(portOut, 0x1234);
}

TEST(TimerPass, ADailyWindowOpenOnAnUnselectedDayStaysOpen)
{
    // Sunday only; the window was open when the day turned to Monday.
    QStringList records =
        dateRecord("04", at(2002, 1, 1, 8, 0), at(2002, 1, 1, 9, 0), QStringLiteral("1"));
    int portOut = 0;
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 6, 8, 30)), u'.'), 1);
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 7, 10, 0)), u'.'), 0);
    EXPECT_EQ(portOut, 8);
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 13, 9, 0)), u'.'), 1);
    EXPECT_EQ(portOut, 0);
}

TEST(TimerPass, FatalRecordsEndThePass)
{
    struct Case
    {
        const char* name;
        int line; // in the second record
        QString text;
    };
    const QList<Case> cases{
        {"relay 17", Channel, "17"},
        {"relay 0", Channel, "00"},
        {"relay not a number", Channel, "x"},
        {"ON not a number", OnTime, "abc"},
        {"OFF empty", OffTime, ""},
        {"toggle count not a number", TogCount, "."},
        {"toggle OFF not a number", TogOff, "1..2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList second =
            dateRecord("02", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 11, 0), "0000000", "1", "1");
        second[c.line] = c.text;
        QStringList records = kRelay5Record + second;
        int portOut = 0x0100;
        EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 17, 45)), u'.'), -1);
        // The pass stops without storing its working copy; the record before
        // the failing one keeps what the pass wrote.
        EXPECT_EQ(portOut, 0x0100);
        EXPECT_EQ(records.at(Running), QStringLiteral("1"));
    }
}

TEST(TimerPass, ALineCountThatIsNoMultipleOfNineIsFatal)
{
    for (const int cut : {1, 3, 8}) {
        QStringList records = kRelay5Record + kRelay12Record.mid(0, cut);
        const QStringList before = records;
        int portOut = 0x0100;
        EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 17, 45)), u'.'), -1);
        EXPECT_EQ(portOut, 0x0100);
        EXPECT_EQ(records, before);
    }
}

TEST(TimerPass, RelaySixteenIsTheTopBit)
{
    QStringList records = dateRecord("16", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 11, 0));
    int portOut = 0;
    EXPECT_EQ(ExecuteTimerPass(records, portOut, dayNumber(at(2014, 7, 3, 10, 30)), u'.'), 1);
    EXPECT_EQ(portOut, 0x8000);
}

namespace {

// Relay 3 from 10:00 to 10:30 on Thursday 3 July 2014: once as a date-mode
// record, once daily on Thursdays, each with and without toggling.
struct SteppedRecord
{
    const char* name;
    QStringList record;
};

QList<SteppedRecord> steppedRecords()
{
    const QDateTime on = at(2014, 7, 3, 10, 0);
    const QDateTime off = at(2014, 7, 3, 10, 30);
    const QString thursday = QStringLiteral("0000100");
    return {
        {"date mode", dateRecord("03", on, off)},
        {"date mode, toggling", dateRecord("03", on, off, "0000000", "0.4", "0.6")},
        {"daily", dateRecord("03", on, off, thursday)},
        {"daily, toggling", dateRecord("03", on, off, thursday, "0.4", "0.6")},
    };
}

// Passes 200 ms apart from t up to `until`; counts the windows that opened
// and closed.
struct Transitions
{
    int opens = 0;
    int closes = 0;
};

void runUntil(QStringList& records, int& portOut, QDateTime& t, const QDateTime& until,
              Transitions& seen)
{
    for (; t < until; t = t.addMSecs(kPassMs)) {
        const bool wasOpen = records.at(Running) == QLatin1String("1");
        ASSERT_NE(ExecuteTimerPass(records, portOut, dayNumber(t), u'.'), -1);
        const bool open = records.at(Running) == QLatin1String("1");
        seen.opens += !wasOpen && open;
        seen.closes += wasOpen && !open;
    }
}

} // namespace

// The wall clock steps back after a window has closed (the autumn change of
// daylight saving, or a clock correction): the window does not open again.
TEST(TimerPass, AClosedWindowStaysClosedWhenTheClockStepsBack)
{
    for (const qint64 stepSecs : {60, 3600}) {
        for (const SteppedRecord& c : steppedRecords()) {
            SCOPED_TRACE(std::string(c.name) + ", back " + std::to_string(stepSecs) + " s");
            QStringList records = c.record;
            int portOut = 0;
            Transitions seen;
            QDateTime t = at(2014, 7, 3, 9, 59, 50);
            runUntil(records, portOut, t, at(2014, 7, 3, 10, 30, 10), seen);
            ASSERT_EQ(seen.opens, 1);
            ASSERT_EQ(seen.closes, 1);
            t = t.addSecs(-stepSecs);
            runUntil(records, portOut, t, at(2014, 7, 3, 10, 31), seen);
            EXPECT_EQ(seen.opens, 1);
            EXPECT_EQ(portOut, 0);
        }
    }
}

// The clock stepping back while a window is open, or stepping forward,
// changes nothing: the window closes at its OFF time, a step into a window
// opens it, a step over a window misses it, and a daily record opens again
// on its next day.
TEST(TimerPass, OpenWindowsAndStepsForwardAreNotLatched)
{
    for (const SteppedRecord& c : steppedRecords()) {
        SCOPED_TRACE(c.name);
        const bool daily = IsDaily(c.record.at(Days));

        QStringList records = c.record;
        int portOut = 0;
        Transitions seen;
        QDateTime t = at(2014, 7, 3, 9, 59, 50);
        runUntil(records, portOut, t, at(2014, 7, 3, 10, 10), seen);
        t = t.addSecs(-3600);
        runUntil(records, portOut, t, at(2014, 7, 3, 10, 30, 10), seen);
        EXPECT_EQ(seen.opens, 1);
        EXPECT_EQ(seen.closes, 1);
        t = at(2014, 7, 10, 9, 59, 50); // the next Thursday
        runUntil(records, portOut, t, at(2014, 7, 10, 10, 0, 10), seen);
        EXPECT_EQ(seen.opens, daily ? 2 : 1);

        records = c.record;
        seen = {};
        t = at(2014, 7, 3, 9, 10);
        runUntil(records, portOut, t, at(2014, 7, 3, 9, 10, 1), seen);
        t = t.addSecs(3600);
        runUntil(records, portOut, t, at(2014, 7, 3, 10, 10, 2), seen);
        EXPECT_EQ(seen.opens, 1);

        records = c.record;
        seen = {};
        t = at(2014, 7, 3, 9, 50);
        runUntil(records, portOut, t, at(2014, 7, 3, 9, 50, 1), seen);
        t = t.addSecs(3600);
        runUntil(records, portOut, t, at(2014, 7, 3, 10, 50, 2), seen);
        EXPECT_EQ(seen.opens, 0);
    }
}

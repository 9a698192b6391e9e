// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <optional>
#include <utility>

// What the timer engine will do with a list of timer records over a span of
// real time, worked out without running it pass by pass: for every record,
// the intervals its window is open, with the toggle phases inside them.
//
// The engine compares the wall clock with the records, so the schedule walks
// the wall clock of the given zone: where daylight saving moves it back, a
// window that already closed stays closed (as the engine latches it), and a
// window the clock skips does not open. The engine runs one pass every
// 200 ms and counts toggle phases in passes, not in wall time; the schedule
// puts passes on a grid of that period from a given origin, so toggle
// phases and the word of relays come out pass for pass as the engine's.
namespace schedule {

inline constexpr qint64 kPassMs = 200;

// Toggling inside an open window: the phase at the opening pass, its length,
// then the other phase and this one by turns, each a whole number of passes.
struct Toggle
{
    bool firstOn = true;
    qint64 firstMs = 0;
    qint64 onMs = 0;
    qint64 offMs = 0;
    // The pass from which the phases count: the one that loaded the first.
    qint64 phaseOriginMs = 0;
};

// One open window of one record, in milliseconds since 1970 UTC. A window
// open at the start of the span starts there; one still open at its end
// ends there, with closes false.
struct Interval
{
    int relay = 0;  // 1 to 16
    int record = 0; // 0 for the first record of the list
    qint64 onMs = 0;
    qint64 offMs = 0;
    // The pass that opened the window (or the first pass of the span) and
    // the pass that closes it: the moments the engine switches the relay.
    qint64 openPassMs = 0;
    qint64 closePassMs = 0;
    bool opens = true;
    bool closes = true;
    std::optional<Toggle> toggle;

    // Whether the toggle holds the relay on at a pass of the window.
    [[nodiscard]] bool toggleOnAt(qint64 passMs) const;
};

// A phase of a toggling interval, as drawn and listed.
struct Phase
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    bool on = true;
};

// A stretch in which the engine holds a relay on, in milliseconds since
// 1970 UTC, from the pass that set it to the pass that cleared it, with the
// records whose passes did so: -1 where the relay was on at the start of
// the span or is still on at its end.
struct RelayOn
{
    int relay = 0; // 1 to 16
    qint64 fromMs = 0;
    qint64 toMs = 0;
    int onBy = -1;
    int offBy = -1;

    friend bool operator==(const RelayOn&, const RelayOn&) = default;
};

struct Schedule
{
    QList<Interval> intervals; // by record, then by time
    // What the relays do: the engine's own word over the span, where
    // windows of one relay that overlap give way to the later switch.
    // By relay, then by time.
    QList<RelayOn> relays;
    // A record the engine would stop at (it then switches nothing at all):
    // its number and what is wrong with it; -1 when the list is sound.
    int faultyRecord = -1;
    QString error;
};

struct Span
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    QTimeZone zone = QTimeZone::systemTimeZone();
    // A pass falls on passOriginMs + k * kPassMs.
    qint64 passOriginMs = 0;
};

// The intervals of the records over the span, and what the relays do. The
// records' run-time lines are taken as the state they start from: a list
// fresh from the editor starts with every window closed and every relay
// off, the running copy where the engine is.
[[nodiscard]] Schedule ComputeSchedule(const QStringList& records, const Span& span);

// What the relays do over the span: the engine itself (ExecuteTimerPass)
// run on the span's passes with the wall clock of its zone, from the
// records' run-time state, on the records of each relay apart (a record
// switches its own relay only). Passes at which nothing can switch (no window of
// `windows` opens, closes or toggles there) are left out: the engine would
// leave the records and the relays as they are. A relay that a running
// record holds on (TogState "1") is on at the start, the later record
// deciding, as the engine leaves it.
[[nodiscard]] QList<RelayOn> RelayIntervals(const QStringList& records, const Span& span,
                                            const QList<Interval>& windows);

// The span from the start of `from` (local time of the zone) for `days`
// days, passes on whole seconds.
[[nodiscard]] Span DaySpan(const QDate& from, int days,
                           const QTimeZone& zone = QTimeZone::systemTimeZone());

// The word of relays the engine holds after the pass at passMs, starting
// from startWord: for every relay, the last switch of any interval up to
// that pass wins, a later record over an earlier one in the same pass.
[[nodiscard]] int RelayWordAt(const QList<Interval>& intervals, qint64 passMs, int startWord = 0);

// The phases of a toggling interval, at most `limit` of them; empty for an
// interval that does not toggle.
[[nodiscard]] QList<Phase> Phases(const Interval& interval, int limit);

// Pairs of intervals on one relay that are open at the same time (by index
// into the list), each pair once.
[[nodiscard]] QList<std::pair<int, int>> Overlaps(const QList<Interval>& intervals);

// The intervals as CSV, records numbered as the editor numbers them (0 for
// the first), times as ISO-8601 local times of the zone with their offset
// from UTC.
[[nodiscard]] QByteArray ToCsv(const QList<Interval>& intervals, const QTimeZone& zone);

// What the relays do as CSV: relay, on, off (times as in ToCsv, with
// milliseconds where a toggle phase needs them) and the records that
// switched it on and off (empty where it was on at the start of the span or
// is still on at its end).
[[nodiscard]] QByteArray RelaysToCsv(const QList<RelayOn>& relays, const QTimeZone& zone);

} // namespace schedule

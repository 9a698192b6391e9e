// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"
#include "timers/schedule.h"

#include <QDate>
#include <QStringList>
#include <QTimeZone>

// What the board's settings say about a list of timer records, judged on
// the schedule the Timeline draws: the record windows as the engine opens
// and closes them, toggle phases included. Records are numbered as the
// editor numbers them (0 for the first), times are local times of the span's
// zone. Only the records themselves are judged: what the buttons, the rules
// or another program switch is not known here, and the controller's own
// interlock and maximum on-time act on every source at run time.
namespace schedule {

// Pairs of records of different relays of one interlock group whose windows
// hold their relays on at the same time: "records 3 and 7 overlap on Tue
// 08:00-09:00 in interlock group 01,02". Within one pair of windows the
// moments both toggle phases are on are merged into one stretch, from the
// first to the last; stretches of one pair that touch are one message.
// By record pair, then by time.
[[nodiscard]] QStringList InterlockOverlaps(const QList<Interval>& intervals,
                                            const safety::BoardSettings& settings,
                                            const QTimeZone& zone);

// Records whose window (or toggle ON phase) holds their relay on longer
// than the relay's maximum on-time, one message a record for its longest:
// "record 4 keeps relay 05 on for 2h, longer than its maximum on-time
// 20min"; "for at least" where the window runs past the span.
[[nodiscard]] QStringList MaxOnExceeded(const QList<Interval>& intervals,
                                        const safety::BoardSettings& settings);

// A stretch in which a relay a record asks on is kept off by the board's
// settings, and why.
struct Hold
{
    enum class Why
    {
        // Asked on while another relay of its group (`by`, 1 to 16) was
        // on, or with a lower one; off until asked on again.
        Interlock,
        // Waiting: a relay of its group (`by`) went off less than the dead
        // time ago.
        DeadTime,
        // It was on for its maximum on-time; it stays off until asked anew.
        MaxOn
    };
    int relay = 0; // 1 to 16
    qint64 fromMs = 0;
    qint64 toMs = 0;
    Why why = Why::Interlock;
    int by = 0;

    friend bool operator==(const Hold&, const Hold&) = default;
};

struct Guarded
{
    // What the relays really do, by relay then by time, with the records
    // that asked for each stretch; offBy is -1 where the maximum on-time
    // cut it.
    QList<RelayOn> relays;
    // By relay, then by time.
    QList<Hold> holds;
};

// The relays as the controller's one writer of the relay word switches
// them when the timers ask for `asked` (RelayOn, by relay then by time;
// each stretch one request on and one off, as the engine's passes make
// them). A relay of a group that is on keeps on; a relay asked on while
// another of its group is on is dropped, and of the relays asked on at the
// same write the lowest number wins; the others stay off until a record
// asks them on again. After a relay of a group goes off, no other of it
// goes on before the dead time has passed: one asked on meanwhile waits and
// comes on then, unless another of the group is on by then. A relay on for
// its maximum on-time goes off at the first write at or after the limit
// and stays off until a record asks it on again. Writes fall on the passes
// of `passOriginMs`.
[[nodiscard]] Guarded GuardRelays(const QList<RelayOn>& asked,
                                  const safety::BoardSettings& settings, qint64 passOriginMs);

// Both of the above for the week from the start of `from`, overlaps first;
// nothing when the settings have no groups and no maximum on-time, or when a
// record is faulty (the editor and the engine report that on their own).
[[nodiscard]] QStringList ScheduleWarnings(const QStringList& records,
                                           const safety::BoardSettings& settings, const QDate& from,
                                           const QTimeZone& zone = QTimeZone::systemTimeZone());

} // namespace schedule

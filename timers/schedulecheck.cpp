// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/schedulecheck.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <bit>
#include <limits>
#include <set>
#include <tuple>

namespace schedule {

namespace {

struct Stretch
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
};

// The stretches in which an interval holds its relay on, clipped to
// [fromMs, toMs). Whole toggle cycles before fromMs are skipped by
// arithmetic, so a long window of short phases costs only what is asked.
QList<Stretch> onStretches(const Interval& interval, qint64 fromMs, qint64 toMs)
{
    const qint64 lo = std::max(fromMs, interval.openPassMs);
    const qint64 hi = std::min(toMs, interval.closePassMs);
    QList<Stretch> stretches;
    if (lo >= hi)
        return stretches;
    if (!interval.toggle) {
        stretches.append({lo, hi});
        return stretches;
    }
    const Toggle& t = *interval.toggle;
    const qint64 cycle = t.onMs + t.offMs;
    if (cycle <= 0)
        return stretches;
    qint64 at = t.phaseOriginMs;
    bool on = t.firstOn;
    qint64 length = t.firstMs;
    if (at + length <= lo) {
        at += length;
        on = !on;
        length = on ? t.onMs : t.offMs;
        at += (lo - at) / cycle * cycle;
    }
    while (at < hi) {
        const qint64 from = std::max(at, lo);
        const qint64 to = std::min(at + length, hi);
        if (on && to > from)
            stretches.append({from, to});
        at += length;
        on = !on;
        length = on ? t.onMs : t.offMs;
    }
    return stretches;
}

// The first and last moment both lists of stretches are on, or nothing.
std::optional<Stretch> bothOn(const QList<Stretch>& a, const QList<Stretch>& b)
{
    std::optional<Stretch> both;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const qint64 from = std::max(a.at(i).fromMs, b.at(j).fromMs);
        const qint64 to = std::min(a.at(i).toMs, b.at(j).toMs);
        if (from < to) {
            if (!both)
                both = Stretch{from, to};
            both->toMs = to;
        }
        if (a.at(i).toMs < b.at(j).toMs)
            ++i;
        else
            ++j;
    }
    return both;
}

// To the nearest second: record times are whole seconds, and the pass that
// carries one out may come up to a pass after it.
qint64 roundedMs(qint64 ms)
{
    return (ms + 500) / 1000 * 1000;
}

// "Tue 08:00", with the seconds where they are not zero.
QString momentText(qint64 ms, const QTimeZone& zone)
{
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(roundedMs(ms), zone);
    return QLocale::c().toString(moment, moment.time().second() == 0
                                             ? QStringLiteral("ddd HH:mm")
                                             : QStringLiteral("ddd HH:mm:ss"));
}

// "Tue 08:00-09:00", the day again where the stretch ends on another.
QString stretchText(const Stretch& s, const QTimeZone& zone)
{
    const QString from = momentText(s.fromMs, zone);
    const QString to = momentText(s.toMs, zone);
    const QDate fromDay = QDateTime::fromMSecsSinceEpoch(roundedMs(s.fromMs), zone).date();
    const QDate toDay = QDateTime::fromMSecsSinceEpoch(roundedMs(s.toMs), zone).date();
    return from + QLatin1Char('-') + (fromDay == toDay ? to.mid(4) : to);
}

struct Overlap
{
    int first = 0;
    int second = 0;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    quint16 group = 0;
};

} // namespace

QStringList InterlockOverlaps(const QList<Interval>& intervals,
                              const safety::BoardSettings& settings, const QTimeZone& zone)
{
    QList<Overlap> overlaps;
    for (const quint16 group : settings.interlocks) {
        QList<int> members;
        for (int i = 0; i < intervals.size(); ++i) {
            if ((group & (1 << (intervals.at(i).relay - 1))) != 0)
                members.append(i);
        }
        std::sort(members.begin(), members.end(), [&](int a, int b) {
            return intervals.at(a).openPassMs < intervals.at(b).openPassMs;
        });
        // A sweep in the order the windows open: each meets only the
        // windows still open then.
        QList<int> open;
        for (const int index : std::as_const(members)) {
            const Interval& next = intervals.at(index);
            open.removeIf(
                [&](int other) { return intervals.at(other).closePassMs <= next.openPassMs; });
            for (const int other : std::as_const(open)) {
                const Interval& earlier = intervals.at(other);
                if (earlier.relay == next.relay)
                    continue;
                const qint64 from = next.openPassMs;
                const qint64 to = std::min(earlier.closePassMs, next.closePassMs);
                const std::optional<Stretch> both =
                    bothOn(onStretches(earlier, from, to), onStretches(next, from, to));
                if (both)
                    overlaps.append({std::min(earlier.record, next.record),
                                     std::max(earlier.record, next.record), both->fromMs,
                                     both->toMs, group});
            }
            open.append(index);
        }
    }
    std::sort(overlaps.begin(), overlaps.end(), [](const Overlap& a, const Overlap& b) {
        return std::tie(a.first, a.second, a.fromMs) < std::tie(b.first, b.second, b.fromMs);
    });
    QList<Overlap> merged;
    for (const Overlap& o : std::as_const(overlaps)) {
        if (!merged.isEmpty() && merged.last().first == o.first &&
            merged.last().second == o.second && o.fromMs <= merged.last().toMs) {
            merged.last().toMs = std::max(merged.last().toMs, o.toMs);
            continue;
        }
        merged.append(o);
    }
    QStringList warnings;
    for (const Overlap& o : std::as_const(merged))
        warnings.append(
            QStringLiteral("records %1 and %2 overlap on %3 in interlock group %4")
                .arg(o.first)
                .arg(o.second)
                .arg(stretchText({o.fromMs, o.toMs}, zone), safety::GroupText(o.group)));
    return warnings;
}

QStringList MaxOnExceeded(const QList<Interval>& intervals, const safety::BoardSettings& settings)
{
    struct Longest
    {
        int record = 0;
        int relay = 0;
        qint64 ms = 0;
        bool cut = false;
    };
    QList<Longest> found;
    for (const Interval& i : intervals) {
        const qint64 limit = settings.maxOn.at(static_cast<size_t>(i.relay - 1)).count();
        if (limit <= 0)
            continue;
        // Toggle phases are whole passes; a window is as long as its times.
        qint64 longest = roundedMs(i.closePassMs - i.openPassMs);
        bool cut = !i.opens || !i.closes;
        if (i.toggle) {
            // The first phase, and the first ON phase after it: every later
            // one is as long, or shorter where the window closes.
            const QList<Stretch> firstTwo =
                onStretches(i, i.openPassMs,
                            std::min(i.closePassMs, i.toggle->phaseOriginMs + i.toggle->firstMs +
                                                        i.toggle->onMs + i.toggle->offMs));
            longest = 0;
            cut = false;
            for (const Stretch& s : firstTwo) {
                longest = std::max(longest, s.toMs - s.fromMs);
                if ((s.fromMs == i.openPassMs && !i.opens) ||
                    (s.toMs == i.closePassMs && !i.closes))
                    cut = true;
            }
        }
        if (longest <= limit)
            continue;
        const auto known = std::find_if(found.begin(), found.end(),
                                        [&](const Longest& l) { return l.record == i.record; });
        if (known == found.end())
            found.append({i.record, i.relay, longest, cut});
        else if (longest > known->ms)
            *known = {i.record, i.relay, longest, cut};
    }
    std::sort(found.begin(), found.end(),
              [](const Longest& a, const Longest& b) { return a.record < b.record; });
    QStringList warnings;
    for (const Longest& l : std::as_const(found)) {
        const size_t relay = static_cast<size_t>(l.relay - 1);
        warnings.append(
            QStringLiteral("record %1 keeps relay %2 on for %3%4, longer than its maximum "
                           "on-time %5")
                .arg(l.record)
                .arg(settings.relayLabel(l.relay - 1),
                     l.cut ? QStringLiteral("at least ") : QString(),
                     safety::DurationText(safety::Duration(l.ms)),
                     safety::DurationText(settings.maxOn.at(relay))));
    }
    return warnings;
}

namespace {

// The first pass at or after ms.
qint64 passAtOrAfter(qint64 ms, qint64 originMs)
{
    const qint64 into = (ms - originMs) % kPassMs;
    if (into == 0)
        return ms;
    return ms + (into > 0 ? kPassMs - into : -into);
}

// One relay while the guard walks the writes.
struct RelayWalk
{
    // Its stretches of `asked`, and the first that has not ended yet.
    qsizetype first = 0;
    qsizetype end = 0;
    qsizetype next = 0;
    bool asked = false;
    bool on = false;
    qint64 onSinceMs = 0;
    int onBy = -1;
    // Cut at its maximum on-time: off until the records ask again.
    bool cut = false;
    std::optional<Hold> hold;
};

} // namespace

Guarded GuardRelays(const QList<RelayOn>& asked, const safety::BoardSettings& settings,
                    qint64 passOriginMs)
{
    Guarded out;
    std::array<RelayWalk, safety::kRelays> walks;
    std::set<qint64> writes;
    for (qsizetype i = 0; i < asked.size(); ++i) {
        RelayWalk& w = walks.at(static_cast<size_t>(asked.at(i).relay - 1));
        if (w.end == 0) {
            w.first = i;
            w.next = i;
        }
        w.end = i + 1;
        writes.insert(asked.at(i).fromMs);
        writes.insert(asked.at(i).toMs);
    }
    if (writes.empty())
        return out;
    const qint64 lastMs = *writes.rbegin();
    // Per group: when a relay of it last went off, and which.
    QList<qint64> offAtMs(settings.interlocks.size(), std::numeric_limits<qint64>::min() / 2);
    QList<quint16> wentOff(settings.interlocks.size(), 0);

    const auto switchOff = [&](int relay, qint64 atMs, int offBy) {
        RelayWalk& w = walks.at(static_cast<size_t>(relay));
        out.relays.append({relay + 1, w.onSinceMs, atMs, w.onBy, offBy});
        w.on = false;
        const quint16 group = settings.groupOf(relay);
        if (group != 0) {
            const auto g = settings.interlocks.indexOf(group);
            if (offAtMs.at(g) != atMs)
                wentOff[g] = 0;
            offAtMs[g] = atMs;
            wentOff[g] |= static_cast<quint16>(1 << relay);
        }
    };
    const auto switchOn = [&](int relay, qint64 atMs) {
        RelayWalk& w = walks.at(static_cast<size_t>(relay));
        w.on = true;
        w.onSinceMs = atMs;
        w.onBy = asked.at(w.next).onBy;
        const qint64 limit = settings.maxOn.at(static_cast<size_t>(relay)).count();
        if (limit > 0 && atMs + limit <= lastMs)
            writes.insert(passAtOrAfter(atMs + limit, passOriginMs));
    };

    while (!writes.empty()) {
        const qint64 t = *writes.begin();
        writes.erase(writes.begin());
        if (t > lastMs)
            break;
        std::array<std::optional<Hold>, safety::kRelays> held;
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walks.at(static_cast<size_t>(relay));
            int offBy = -1;
            while (w.next < w.end && asked.at(w.next).toMs <= t) {
                if (asked.at(w.next).toMs == t)
                    offBy = asked.at(w.next).offBy;
                ++w.next;
            }
            const bool was = w.asked;
            w.asked = w.next < w.end && asked.at(w.next).fromMs <= t;
            // A record asking anew (its stretch ended, or another began)
            // lifts the cut.
            if (!w.asked || (was && asked.at(w.next).fromMs == t))
                w.cut = false;
            if (w.on && !w.asked) {
                switchOff(relay, t, offBy);
            } else if (w.on) {
                const qint64 limit = settings.maxOn.at(static_cast<size_t>(relay)).count();
                if (limit > 0 && t >= w.onSinceMs + limit) {
                    switchOff(relay, t, -1);
                    w.cut = true;
                }
            }
            if (w.asked && w.cut)
                held.at(static_cast<size_t>(relay)) = Hold{relay + 1, t, t, Hold::Why::MaxOn, 0};
        }
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walks.at(static_cast<size_t>(relay));
            if (w.asked && !w.cut && !w.on && settings.groupOf(relay) == 0)
                switchOn(relay, t);
        }
        for (qsizetype g = 0; g < settings.interlocks.size(); ++g) {
            const quint16 group = settings.interlocks.at(g);
            int onRelay = -1;
            QList<int> waiting;
            for (int relay = 0; relay < safety::kRelays; ++relay) {
                if ((group & (1 << relay)) == 0)
                    continue;
                const RelayWalk& w = walks.at(static_cast<size_t>(relay));
                if (w.on && onRelay < 0)
                    onRelay = relay;
                else if (w.asked && !w.cut && !w.on)
                    waiting.append(relay);
            }
            if (onRelay < 0 && !waiting.isEmpty()) {
                const qint64 readyMs =
                    passAtOrAfter(offAtMs.at(g) + settings.deadTime.count(), passOriginMs);
                // The relay that went off may come back at once; others
                // wait out the dead time.
                const auto winner = std::find_if(waiting.begin(), waiting.end(), [&](int relay) {
                    return t >= readyMs || (wentOff.at(g) & (1 << relay)) != 0;
                });
                if (winner != waiting.end()) {
                    onRelay = *winner;
                    switchOn(onRelay, t);
                    waiting.erase(winner);
                } else {
                    writes.insert(readyMs);
                    const int by = std::countr_zero(static_cast<unsigned>(wentOff.at(g)));
                    for (const int relay : std::as_const(waiting))
                        held.at(static_cast<size_t>(relay)) =
                            Hold{relay + 1, t, t, Hold::Why::DeadTime, by + 1};
                    continue;
                }
            }
            for (const int relay : std::as_const(waiting))
                held.at(static_cast<size_t>(relay)) =
                    Hold{relay + 1, t, t, Hold::Why::Interlock, onRelay + 1};
        }
        // A hold lasts while its reason does.
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walks.at(static_cast<size_t>(relay));
            const std::optional<Hold>& now = held.at(static_cast<size_t>(relay));
            if (w.hold && (!now || now->why != w.hold->why || now->by != w.hold->by)) {
                w.hold->toMs = t;
                out.holds.append(*w.hold);
                w.hold.reset();
            }
            if (now && !w.hold)
                w.hold = now;
        }
    }
    for (RelayWalk& w : walks) {
        if (w.hold) {
            w.hold->toMs = lastMs;
            out.holds.append(*w.hold);
        }
    }
    const auto byRelayThenTime = [](const auto& a, const auto& b) {
        return std::tie(a.relay, a.fromMs) < std::tie(b.relay, b.fromMs);
    };
    std::sort(out.relays.begin(), out.relays.end(), byRelayThenTime);
    std::sort(out.holds.begin(), out.holds.end(), byRelayThenTime);
    return out;
}

QStringList ScheduleWarnings(const QStringList& records, const safety::BoardSettings& settings,
                             const QDate& from, const QTimeZone& zone)
{
    const bool maxOn = std::any_of(settings.maxOn.cbegin(), settings.maxOn.cend(),
                                   [](safety::Duration d) { return d.count() > 0; });
    if (settings.interlocks.isEmpty() && !maxOn)
        return {};
    const Schedule week = ComputeSchedule(records, DaySpan(from, 7, zone));
    if (week.faultyRecord >= 0)
        return {};
    return InterlockOverlaps(week.intervals, settings, zone) +
           MaxOnExceeded(week.intervals, settings);
}

} // namespace schedule

// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/schedulecheck.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <limits>
#include <queue>
#include <tuple>
#include <vector>

namespace schedule {

namespace {

struct Stretch
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
};

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// Where an interval holds its relay on: its whole window, or for a toggle
// the first phase when it is ON and then ON phases of onMs every cycle from
// `base`. Found by arithmetic, so a long window of short phases costs no
// more than a short one.
struct OnPhases
{
    const Interval& interval;

    [[nodiscard]] std::optional<Stretch> clipped(qint64 from, qint64 to, qint64 lo, qint64 hi) const
    {
        from = std::max(from, lo);
        to = std::min(to, hi);
        return from < to ? std::optional<Stretch>(Stretch{from, to}) : std::nullopt;
    }
    [[nodiscard]] qint64 base() const
    {
        const Toggle& t = *interval.toggle;
        return t.phaseOriginMs + t.firstMs + (t.firstOn ? t.offMs : 0);
    }
    [[nodiscard]] qint64 cycle() const { return interval.toggle->onMs + interval.toggle->offMs; }

    // The first ON stretch inside [lo, hi) and the window, clipped to them.
    [[nodiscard]] std::optional<Stretch> first(qint64 lo, qint64 hi) const
    {
        lo = std::max(lo, interval.openPassMs);
        hi = std::min(hi, interval.closePassMs);
        if (lo >= hi)
            return std::nullopt;
        if (!interval.toggle)
            return Stretch{lo, hi};
        const Toggle& t = *interval.toggle;
        if (t.firstOn) {
            if (auto phase = clipped(t.phaseOriginMs, t.phaseOriginMs + t.firstMs, lo, hi))
                return phase;
        }
        if (t.onMs <= 0 || cycle() <= 0)
            return std::nullopt;
        const qint64 k = std::max<qint64>(0, floorDiv(lo - base() - t.onMs, cycle()) + 1);
        const qint64 start = base() + k * cycle();
        return clipped(start, start + t.onMs, lo, hi);
    }
    // The last ON stretch inside [lo, hi) and the window, clipped to them.
    [[nodiscard]] std::optional<Stretch> last(qint64 lo, qint64 hi) const
    {
        lo = std::max(lo, interval.openPassMs);
        hi = std::min(hi, interval.closePassMs);
        if (lo >= hi)
            return std::nullopt;
        if (!interval.toggle)
            return Stretch{lo, hi};
        const Toggle& t = *interval.toggle;
        if (t.onMs > 0 && cycle() > 0) {
            const qint64 k = floorDiv(hi - 1 - base(), cycle());
            if (k >= 0) {
                const qint64 start = base() + k * cycle();
                if (auto phase = clipped(start, start + t.onMs, lo, hi))
                    return phase;
            }
        }
        if (t.firstOn)
            return clipped(t.phaseOriginMs, t.phaseOriginMs + t.firstMs, lo, hi);
        return std::nullopt;
    }
};

// From the first to the last moment both intervals hold their relays on
// inside [lo, hi), or nothing. Each step moves past the stretch that ends
// first, so it stops at the first meeting.
std::optional<Stretch> bothOn(const Interval& a, const Interval& b, qint64 lo, qint64 hi)
{
    const OnPhases x{a};
    const OnPhases y{b};
    std::optional<Stretch> both;
    for (qint64 t = lo;;) {
        const auto p = x.first(t, hi);
        const auto q = y.first(t, hi);
        if (!p || !q)
            return std::nullopt;
        const qint64 from = std::max(p->fromMs, q->fromMs);
        if (from < std::min(p->toMs, q->toMs)) {
            both = Stretch{from, from};
            break;
        }
        t = from;
    }
    for (qint64 t = hi;;) {
        const auto p = x.last(lo, t);
        const auto q = y.last(lo, t);
        if (!p || !q)
            return both;
        const qint64 to = std::min(p->toMs, q->toMs);
        if (std::max(p->fromMs, q->fromMs) < to) {
            both->toMs = to;
            return both;
        }
        t = to;
    }
}

// To the nearest second: record times are whole seconds, and the pass that
// carries one out may come up to a pass after it.
qint64 roundedMs(qint64 ms)
{
    return (ms + 500) / 1000 * 1000;
}

// Local wall times of a zone for many moments of one week, in
// milliseconds since 1970 as the wall clock counts them: the offset from
// UTC is looked up once between two of the zone's transitions, not for
// every moment (a zone lookup costs more than the rest of a message).
class WallClock
{
public:
    explicit WallClock(const QTimeZone& zone) : m_zone(zone) {}

    // To the nearest second.
    [[nodiscard]] qint64 at(qint64 ms)
    {
        ms = roundedMs(ms);
        if (ms < m_fromMs || ms >= m_toMs) {
            const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
            m_offsetMs = qint64{m_zone.offsetFromUtc(utc)} * 1000;
            const QTimeZone::OffsetData next = m_zone.nextTransition(utc);
            const QTimeZone::OffsetData previous = m_zone.previousTransition(utc.addMSecs(1));
            m_fromMs = previous.atUtc.isValid() ? previous.atUtc.toMSecsSinceEpoch()
                                                : std::numeric_limits<qint64>::min();
            m_toMs = next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch()
                                          : std::numeric_limits<qint64>::max();
        }
        return ms + m_offsetMs;
    }

private:
    QTimeZone m_zone;
    qint64 m_offsetMs = 0;
    qint64 m_fromMs = 0;
    qint64 m_toMs = 0;
};

constexpr qint64 kDayMs = 86'400'000;

// "Tue 08:00", with the seconds where they are not zero; in English, as
// every message of the program is. 1 January 1970 was a Thursday.
QString momentText(qint64 wallMs, bool withDay)
{
    static constexpr std::array<const char*, 7> kDays{"Thu", "Fri", "Sat", "Sun",
                                                      "Mon", "Tue", "Wed"};
    const qint64 day = floorDiv(wallMs, kDayMs);
    const auto seconds = static_cast<int>((wallMs - day * kDayMs) / 1000);
    const int h = seconds / 3600;
    const int m = seconds / 60 % 60;
    const int sec = seconds % 60;
    const QString time = sec == 0 ? QString::asprintf("%02d:%02d", h, m)
                                  : QString::asprintf("%02d:%02d:%02d", h, m, sec);
    if (!withDay)
        return time;
    return QLatin1String(kDays.at(static_cast<size_t>((day % 7 + 7) % 7))) + QLatin1Char(' ') +
           time;
}

// "Tue 08:00-09:00", the day again where the stretch ends on another.
QString stretchText(const Stretch& s, WallClock& clock)
{
    const qint64 from = clock.at(s.fromMs);
    const qint64 to = clock.at(s.toMs);
    return momentText(from, true) + QLatin1Char('-') +
           momentText(to, floorDiv(from, kDayMs) != floorDiv(to, kDayMs));
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
                const std::optional<Stretch> both = bothOn(earlier, next, from, to);
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
    WallClock clock(zone);
    QHash<quint16, QString> groups;
    for (const quint16 group : settings.interlocks)
        groups.insert(group, safety::GroupText(group));
    warnings.reserve(merged.size());
    for (const Overlap& o : std::as_const(merged))
        warnings.append(QStringLiteral("records ") + QString::number(o.first) +
                        QStringLiteral(" and ") + QString::number(o.second) +
                        QStringLiteral(" overlap on ") + stretchText({o.fromMs, o.toMs}, clock) +
                        QStringLiteral(" in interlock group ") + groups.value(o.group));
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
            const OnPhases phases{i};
            longest = 0;
            cut = false;
            const std::optional<Stretch> first = phases.first(i.openPassMs, i.closePassMs);
            const std::optional<Stretch> second =
                first ? phases.first(first->toMs, i.closePassMs) : std::nullopt;
            for (const std::optional<Stretch>& s : {first, second}) {
                if (!s)
                    continue;
                longest = std::max(longest, s->toMs - s->fromMs);
                if ((s->fromMs == i.openPassMs && !i.opens) ||
                    (s->toMs == i.closePassMs && !i.closes))
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
    qsizetype end = 0;
    qsizetype next = 0;
    bool asked = false;
    bool on = false;
    qint64 onSinceMs = 0;
    int onBy = -1;
    // When it last went off on the wire.
    std::optional<qint64> offAtMs;
    // Why a relay asked on is off: cut at its maximum on-time, dropped by
    // an interlock (both until a record asks it on again), or waiting for
    // its group's dead time; with the relay that holds it.
    std::optional<Hold::Why> why;
    int by = 0;
    std::optional<Hold> hold;
};

} // namespace

Guarded GuardRelays(const QList<RelayOn>& asked, const safety::BoardSettings& settings,
                    qint64 passOriginMs)
{
    Guarded out;
    std::array<RelayWalk, safety::kRelays> walks;
    // The writes at which something can change: where a stretch of
    // `asked` begins or ends, sorted once, and those the guards add as
    // they go (a maximum on-time or a dead time running out), in a heap.
    std::vector<qint64> edges;
    edges.reserve(static_cast<size_t>(asked.size()) * 2);
    std::priority_queue<qint64, std::vector<qint64>, std::greater<>> added;
    for (qsizetype i = 0; i < asked.size(); ++i) {
        RelayWalk& w = walks.at(static_cast<size_t>(asked.at(i).relay - 1));
        if (w.end == 0)
            w.next = i;
        w.end = i + 1;
        edges.push_back(asked.at(i).fromMs);
        edges.push_back(asked.at(i).toMs);
    }
    if (edges.empty())
        return out;
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    const qint64 lastMs = edges.back();
    const auto walk = [&](int relay) -> RelayWalk& { return walks.at(static_cast<size_t>(relay)); };

    const auto switchOff = [&](int relay, qint64 atMs, int offBy) {
        RelayWalk& w = walk(relay);
        out.relays.append({relay + 1, w.onSinceMs, atMs, w.onBy, offBy});
        w.on = false;
        w.offAtMs = atMs;
    };
    const auto switchOn = [&](int relay, qint64 atMs) {
        RelayWalk& w = walk(relay);
        w.on = true;
        w.onSinceMs = atMs;
        w.onBy = asked.at(w.next).onBy;
        w.why.reset();
        const qint64 limit = settings.maxOn.at(static_cast<size_t>(relay)).count();
        if (limit > 0 && atMs + limit <= lastMs)
            added.push(passAtOrAfter(atMs + limit, passOriginMs));
    };
    const auto holdOff = [&](int relay, Hold::Why why, int by) {
        walk(relay).why = why;
        walk(relay).by = by + 1;
    };
    // A relay of the group but this one that went off less than the dead
    // time ago: the latest of them, or -1.
    const auto deadTimeBlocker = [&](quint16 group, int relay, qint64 t) {
        int blocker = -1;
        for (int other = 0; other < safety::kRelays; ++other) {
            const std::optional<qint64>& off = walk(other).offAtMs;
            if (other != relay && (group & (1 << other)) != 0 && off &&
                t - *off < settings.deadTime.count() &&
                (blocker < 0 || *off > *walk(blocker).offAtMs))
                blocker = other;
        }
        return blocker;
    };
    const auto lowestOn = [&](quint16 group, int except) {
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            if (relay != except && (group & (1 << relay)) != 0 && walk(relay).on)
                return relay;
        }
        return -1;
    };

    size_t nextEdge = 0;
    qint64 previous = std::numeric_limits<qint64>::min();
    while (nextEdge < edges.size() || !added.empty()) {
        qint64 t = 0;
        if (added.empty() || (nextEdge < edges.size() && edges.at(nextEdge) <= added.top())) {
            t = edges.at(nextEdge++);
        } else {
            t = added.top();
            added.pop();
        }
        if (t > lastMs)
            break;
        if (t == previous)
            continue;
        previous = t;

        // The records' requests of this write: relays asked off go off,
        // relays asked on anew are judged afresh.
        quint16 fresh = 0;
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walk(relay);
            int offBy = -1;
            while (w.next < w.end && asked.at(w.next).toMs <= t) {
                if (asked.at(w.next).toMs == t)
                    offBy = asked.at(w.next).offBy;
                ++w.next;
            }
            const bool was = w.asked;
            w.asked = w.next < w.end && asked.at(w.next).fromMs <= t;
            const bool anew = w.asked && (!was || asked.at(w.next).fromMs == t);
            if (!w.asked || anew)
                w.why.reset();
            if (w.on && !w.asked)
                switchOff(relay, t, offBy);
            if (anew && !w.on)
                fresh |= static_cast<quint16>(1 << relay);
        }
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            if ((fresh & (1 << relay)) != 0 && settings.groupOf(relay) == 0)
                switchOn(relay, t);
        }
        // A relay on keeps on; of the relays asked on together the lowest
        // number wins and the others are dropped; the winner waits while
        // another relay of its group went off less than the dead time ago.
        for (const quint16 group : settings.interlocks) {
            const auto candidates = static_cast<quint16>(fresh & group);
            if (candidates == 0)
                continue;
            const int on = lowestOn(group, -1);
            const int winner = on >= 0 ? on : std::countr_zero(static_cast<unsigned>(candidates));
            for (int relay = 0; relay < safety::kRelays; ++relay) {
                if ((candidates & (1 << relay)) != 0 && relay != winner)
                    holdOff(relay, Hold::Why::Interlock, winner);
            }
            if (on >= 0)
                continue;
            if (const int blocker = deadTimeBlocker(group, winner, t); blocker >= 0) {
                holdOff(winner, Hold::Why::DeadTime, blocker);
                added.push(passAtOrAfter(*walk(blocker).offAtMs + settings.deadTime.count(),
                                         passOriginMs));
            } else {
                switchOn(winner, t);
            }
        }
        // The relay write: a relay whose dead time has passed comes on,
        // unless another of its group is on by then; a relay on for its
        // maximum on-time goes off.
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walk(relay);
            if (w.why != Hold::Why::DeadTime)
                continue;
            const quint16 group = settings.groupOf(relay);
            if (const int on = lowestOn(group, relay); on >= 0) {
                holdOff(relay, Hold::Why::Interlock, on);
            } else if (const int blocker = deadTimeBlocker(group, relay, t); blocker >= 0) {
                w.by = blocker + 1;
                added.push(passAtOrAfter(*walk(blocker).offAtMs + settings.deadTime.count(),
                                         passOriginMs));
            } else {
                switchOn(relay, t);
            }
        }
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walk(relay);
            const qint64 limit = settings.maxOn.at(static_cast<size_t>(relay)).count();
            if (w.on && limit > 0 && t - w.onSinceMs >= limit) {
                switchOff(relay, t, -1);
                holdOff(relay, Hold::Why::MaxOn, -1);
            }
        }
        // A hold lasts while its reason does.
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            RelayWalk& w = walk(relay);
            const bool held = w.asked && !w.on && w.why;
            if (w.hold && (!held || *w.why != w.hold->why || w.by != w.hold->by)) {
                w.hold->toMs = t;
                out.holds.append(*w.hold);
                w.hold.reset();
            }
            if (held && !w.hold)
                w.hold = Hold{relay + 1, t, t, *w.why, w.by};
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

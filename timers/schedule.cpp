// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/schedule.h"

#include "common/conversions.h"
#include "common/daynumber.h"
#include "timers/chantimer.h"
#include "timers/timerpass.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <tuple>

namespace schedule {

namespace {

using namespace chantimer;

constexpr qint64 kDayMs = 86'400'000;
// Milliseconds from the day numbers' epoch (30 December 1899) to 1970.
constexpr qint64 kEpochShiftMs = 25'569 * kDayMs;
constexpr double kPassSeconds = 0.2;
// The states of the records remembered while looking for the period of
// their toggling: a toggle of an hour ON and an hour OFF.
constexpr qsizetype kMaxRemembered = 36'000;

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The day number of a wall time given in milliseconds since the day
// numbers' epoch, computed as DateTimeToDayNumber computes it.
double dayNumberOf(qint64 wallMs)
{
    const qint64 day = floorDiv(wallMs, kDayMs);
    return static_cast<double>(day) +
           static_cast<double>(wallMs - day * kDayMs) / static_cast<double>(kDayMs);
}

// The first value in [lo, hi) where a condition that goes from false to
// true holds; hi when it never does.
template <typename Condition> qint64 firstWhere(qint64 lo, qint64 hi, Condition holds)
{
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (holds(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The first wall millisecond whose day number is at least x.
qint64 firstAtLeast(double x)
{
    const auto guess = static_cast<qint64>(std::ceil(x * static_cast<double>(kDayMs)));
    return firstWhere(guess - 64, guess + 64, [x](qint64 w) { return dayNumberOf(w) >= x; });
}

// The first millisecond of day `day` whose time of day is at least t, and
// the first one past t; kDayMs when the day has none.
qint64 firstOfDayAtLeast(qint64 day, double t)
{
    return firstWhere(0, kDayMs,
                      [&](qint64 m) { return TimeOfDay(dayNumberOf(day * kDayMs + m)) >= t; });
}

qint64 firstOfDayAbove(qint64 day, double t)
{
    return firstWhere(0, kDayMs,
                      [&](qint64 m) { return TimeOfDay(dayNumberOf(day * kDayMs + m)) > t; });
}

// How many passes a toggle phase loaded with `count` seconds lasts: the
// engine takes 0.2 s off on every pass after the one that loaded it, writes
// the rest back in its general form and ends the phase on the pass that
// leaves nothing. Long phases are counted by division; their texts have few
// digits, so the written rests stay exact.
int passesOf(double count)
{
    if (count > 400.0)
        return static_cast<int>(std::ceil(count / kPassSeconds - 1e-6));
    int passes = 1;
    double left = count - kPassSeconds;
    while (left > 0) {
        left = *ParseNumber(FormatGeneral(left, u'.')) - kPassSeconds;
        ++passes;
    }
    return passes;
}

// A stretch of real time in which the zone's offset from UTC stays the same.
struct Segment
{
    qint64 fromMs;
    qint64 toMs;
    qint64 wallShiftMs; // real + wallShiftMs = wall, since the day numbers' epoch
};

QList<Segment> segmentsOf(const Span& span)
{
    const auto shiftAt = [&](qint64 ms) {
        const QDateTime instant = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        return span.zone.offsetFromUtc(instant) * qint64{1000} + kEpochShiftMs;
    };
    QList<Segment> segments;
    qint64 from = span.fromMs;
    if (span.zone.hasTransitions()) {
        const auto transitions =
            span.zone.transitions(QDateTime::fromMSecsSinceEpoch(span.fromMs, QTimeZone::utc()),
                                  QDateTime::fromMSecsSinceEpoch(span.toMs, QTimeZone::utc()));
        for (const QTimeZone::OffsetData& change : transitions) {
            const qint64 at = change.atUtc.toMSecsSinceEpoch();
            if (at <= from || at >= span.toMs)
                continue;
            segments.append({from, at, shiftAt(from)});
            from = at;
        }
    }
    segments.append({from, span.toMs, shiftAt(from)});
    return segments;
}

// One record's settings, read as the engine reads them.
struct Settings
{
    int relay = 0;
    double on = 0;
    double off = 0;
    bool daily = false;
    QString days;
    bool toggles = false;
    int onPasses = 0;
    int offPasses = 0;
};

// The run-time state the engine keeps in a record's last three lines.
struct State
{
    bool running = false;
    bool latched = false;
    qint64 closedDay = 0;
    bool phaseOn = true;
    int phasePasses = 0; // what the count left in the record lasts
};

QString readRecord(const QStringList& records, qsizetype first, Settings& s, State& state)
{
    const auto line = [&](Line n) -> const QString& { return records.at(first + n); };
    s.relay = StrToIntDef(line(Channel), 0);
    if (s.relay < 1 || s.relay > 16)
        return QStringLiteral("The relay number \"%1\" is not between 1 and 16.")
            .arg(line(Channel));
    const std::optional<double> on = ParseNumber(line(OnTime));
    const std::optional<double> off = ParseNumber(line(OffTime));
    if (!on || !off)
        return QStringLiteral("The ON or OFF time is not a number.");
    s.on = *on;
    s.off = *off;
    s.days = line(Days);
    s.daily = IsDaily(s.days);
    s.toggles = line(TogOn) != QLatin1String("0");
    if (s.toggles) {
        const std::optional<double> count = ParseNumber(line(TogCount));
        const std::optional<double> togOn = ParseNumber(line(TogOn));
        const std::optional<double> togOff = ParseNumber(line(TogOff));
        if (!count || !togOn || !togOff)
            return QStringLiteral("A toggle time is not a number.");
        s.onPasses = passesOf(*togOn);
        s.offPasses = passesOf(*togOff);
        state.phasePasses = passesOf(*count);
    }
    const QString& running = line(Running);
    state.running = running == QLatin1String("1");
    state.phaseOn = line(TogState) == QLatin1String("1");
    if (running.startsWith(QLatin1Char('c'))) {
        bool ok = false;
        state.closedDay = QStringView(running).mid(1).toLongLong(&ok);
        state.latched = ok;
    }
    return {};
}

// Walks one record through the segments of the span, as the engine's passes
// would, and appends its intervals.
class RecordWalk
{
public:
    RecordWalk(const Span& span, const Settings& s, State state, int record, QList<Interval>& out)
        : m_span(span), m_s(s), m_state(state), m_record(record), m_out(out)
    {
    }

    void run(const QList<Segment>& segments)
    {
        qint64 at = m_span.fromMs;
        if (m_state.running)
            startRunning(firstPass(at));
        for (const Segment& segment : segments) {
            at = std::max(at, segment.fromMs);
            while (at < segment.toMs) {
                const qint64 wall = at + segment.wallShiftMs;
                const qint64 event = m_state.running ? nextClose(wall) : nextOpen(wall);
                const qint64 real = event - segment.wallShiftMs;
                if (event == kNever || real >= segment.toMs)
                    break;
                at = m_state.running ? close(real, segment) : open(real);
            }
        }
        if (m_state.running) {
            m_current.offMs = m_span.toMs;
            m_current.closePassMs = firstPass(m_span.toMs);
            m_current.closes = false;
            m_out.append(m_current);
        }
    }

private:
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    [[nodiscard]] qint64 firstPass(qint64 ms) const
    {
        const qint64 origin = m_span.passOriginMs;
        return origin - floorDiv(origin - ms, kPassMs) * kPassMs;
    }

    [[nodiscard]] bool daySelected(qint64 day) const
    {
        return DaySelected(m_s.days, DayOfWeek(static_cast<double>(day)));
    }

    // The first wall time from `wall` on at which the window opens.
    [[nodiscard]] qint64 nextOpen(qint64 wall) const
    {
        if (!m_s.daily) {
            if (m_state.latched)
                return kNever;
            const qint64 from = std::max(wall, firstAtLeast(m_s.on));
            return dayNumberOf(from) <= m_s.off ? from : kNever;
        }
        const double onTime = TimeOfDay(m_s.on);
        const double offTime = TimeOfDay(m_s.off);
        const qint64 lastDay = floorDiv(wall + (m_span.toMs - m_span.fromMs), kDayMs) + 1;
        for (qint64 day = floorDiv(wall, kDayMs); day <= lastDay; ++day) {
            if (!daySelected(day) || (m_state.latched && day <= m_state.closedDay))
                continue;
            const qint64 from = std::max(wall - day * kDayMs, firstOfDayAtLeast(day, onTime));
            if (from < firstOfDayAbove(day, offTime))
                return day * kDayMs + from;
        }
        return kNever;
    }

    // The first wall time from `wall` on at which the open window closes.
    [[nodiscard]] qint64 nextClose(qint64 wall) const
    {
        if (!m_s.daily)
            return std::max(wall, firstAtLeast(m_s.off));
        const double offTime = TimeOfDay(m_s.off);
        const qint64 lastDay = floorDiv(wall + (m_span.toMs - m_span.fromMs), kDayMs) + 1;
        for (qint64 day = floorDiv(wall, kDayMs); day <= lastDay; ++day) {
            if (!daySelected(day))
                continue;
            const qint64 from = std::max(wall - day * kDayMs, firstOfDayAtLeast(day, offTime));
            if (from < kDayMs)
                return day * kDayMs + from;
        }
        return kNever;
    }

    void startRunning(qint64 pass)
    {
        m_current = Interval{};
        m_current.relay = m_s.relay;
        m_current.record = m_record;
        m_current.onMs = m_span.fromMs;
        m_current.openPassMs = pass;
        m_current.opens = false;
        if (m_s.toggles) {
            // The first pass of the span already counts the phase down.
            m_current.toggle =
                Toggle{m_state.phaseOn, m_state.phasePasses * kPassMs, m_s.onPasses * kPassMs,
                       m_s.offPasses * kPassMs, pass - kPassMs};
        }
    }

    // Opens at real time `real`; returns where the search goes on.
    qint64 open(qint64 real)
    {
        const qint64 pass = firstPass(real);
        m_current = Interval{};
        m_current.relay = m_s.relay;
        m_current.record = m_record;
        m_current.onMs = real;
        m_current.openPassMs = pass;
        if (m_s.toggles) {
            m_current.toggle = Toggle{true, m_state.phasePasses * kPassMs, m_s.onPasses * kPassMs,
                                      m_s.offPasses * kPassMs, pass};
        }
        m_state.running = true;
        return pass + 1;
    }

    qint64 close(qint64 real, const Segment& segment)
    {
        const qint64 pass = std::max(firstPass(real), m_current.openPassMs + kPassMs);
        m_current.offMs = real;
        m_current.closePassMs = pass;
        if (m_current.toggle) {
            // The count the closing pass leaves is where the next window's
            // first ON phase starts.
            const Toggle& t = *m_current.toggle;
            const qint64 done = (pass - t.phaseOriginMs) / kPassMs - 1;
            const qint64 first = t.firstMs / kPassMs;
            if (done < first) {
                m_state.phasePasses = static_cast<int>(first - done);
            } else {
                const qint64 next = (t.firstOn ? t.offMs : t.onMs) / kPassMs;
                const qint64 after = (t.firstOn ? t.onMs : t.offMs) / kPassMs;
                const qint64 into = (done - first) % (next + after);
                m_state.phasePasses =
                    static_cast<int>(into < next ? next - into : after - (into - next));
            }
        }
        m_out.append(m_current);
        m_state.running = false;
        m_state.latched = true;
        m_state.closedDay = floorDiv(pass + segment.wallShiftMs, kDayMs);
        return pass + 1;
    }

    const Span& m_span;
    const Settings& m_s;
    State m_state;
    int m_record;
    QList<Interval>& m_out;
    Interval m_current;
};

// The phase a toggle is in after `passes` passes since its origin, and the
// number of passes since that phase began.
struct PhaseAt
{
    bool on;
    qint64 since;
    bool switched; // false while still in the first phase
};

PhaseAt phaseAt(const Toggle& t, qint64 passes)
{
    const qint64 first = t.firstMs / kPassMs;
    if (passes < first)
        return {t.firstOn, passes, false};
    const qint64 next = (t.firstOn ? t.offMs : t.onMs) / kPassMs;
    const qint64 after = (t.firstOn ? t.onMs : t.offMs) / kPassMs;
    const qint64 into = (passes - first) % (next + after);
    if (into < next)
        return {!t.firstOn, into, true};
    return {t.firstOn, into - next, true};
}

} // namespace

bool Interval::toggleOnAt(qint64 passMs) const
{
    if (!toggle)
        return true;
    return phaseAt(*toggle, (passMs - toggle->phaseOriginMs) / kPassMs).on;
}

Schedule ComputeSchedule(const QStringList& records, const Span& span)
{
    Schedule result;
    if (records.size() % kRecordLines != 0) {
        result.faultyRecord = static_cast<int>(records.size() / kRecordLines);
        result.error = QStringLiteral("The last record is incomplete.");
        return result;
    }
    const QList<Segment> segments = segmentsOf(span);
    for (qsizetype first = 0; first < records.size(); first += kRecordLines) {
        const int record = static_cast<int>(first / kRecordLines);
        Settings settings;
        State state;
        const QString error = readRecord(records, first, settings, state);
        if (!error.isEmpty()) {
            result.intervals.clear();
            result.faultyRecord = record;
            result.error = error;
            return result;
        }
        RecordWalk(span, settings, state, record, result.intervals).run(segments);
    }
    result.relays = RelayIntervals(records, span, result.intervals);
    return result;
}

namespace {

// The engine on the records of one relay over the span; the windows' and
// the result's record numbers count in that list.
QList<RelayOn> runEngine(int relay, const QStringList& records, const Span& span,
                         const QList<Interval>& windows)
{
    const auto count = static_cast<int>(records.size() / kRecordLines);
    const int mask = 1 << (relay - 1);

    // The passes at which a record may act: where one of its windows opens
    // or closes, and every pass of a toggling window. At any other pass the
    // engine leaves it as it is, so a pass runs the engine on the records
    // that may act in it alone (in list order, as the later one decides),
    // and passes at which none may act are left out.
    struct Edge
    {
        qint64 pass;
        bool starts;
        int record;
    };
    QList<Edge> edges;
    QList<std::pair<qint64, qint64>> busy;
    // The passes at which the clock matters: where a window opens or
    // closes. Between two of them the engine goes on from the records alone.
    QList<qint64> events;
    const auto mayAct = [&](int record, qint64 from, qint64 to) {
        edges.append({from, true, record});
        edges.append({to + kPassMs, false, record});
        busy.append({from, to});
    };
    for (const Interval& w : windows) {
        events.append(w.openPassMs);
        if (w.closes)
            events.append(w.closePassMs);
        if (w.toggle) {
            mayAct(w.record, w.openPassMs, w.closePassMs);
            continue;
        }
        mayAct(w.record, w.openPassMs, w.openPassMs);
        if (w.closes)
            mayAct(w.record, w.closePassMs, w.closePassMs);
    }
    std::sort(events.begin(), events.end());
    // Ends before starts at one pass, so a record that ends one stretch and
    // starts another there stays counted.
    std::sort(edges.begin(), edges.end(), [](const Edge& x, const Edge& y) {
        return std::tie(x.pass, x.starts) < std::tie(y.pass, y.starts);
    });
    std::sort(busy.begin(), busy.end());
    QList<std::pair<qint64, qint64>> merged;
    for (const auto& stretch : busy) {
        if (!merged.isEmpty() && stretch.first <= merged.last().second + kPassMs)
            merged.last().second = std::max(merged.last().second, stretch.second);
        else
            merged.append(stretch);
    }

    QStringList state = records;
    // The relay as the running records leave it, the later deciding.
    bool on = false;
    for (qsizetype first = 0; first < state.size(); first += kRecordLines) {
        if (state.at(first + Running) == QLatin1String("1"))
            on = state.at(first + TogState) == QLatin1String("1");
    }
    qint64 since = span.fromMs;
    int onBy = -1;
    QList<RelayOn> out;

    // A switch of the relay at a pass, and the record that made it: the
    // last one, in list order, whose window or toggle phase changed then.
    struct Switch
    {
        qint64 pass;
        bool on;
        int by;
    };
    const auto apply = [&](const Switch& change) {
        if (change.on && !on) {
            since = change.pass;
            onBy = change.by;
        } else if (!change.on && on) {
            out.append({relay, since, change.pass, onBy, change.by});
        }
        on = change.on;
    };

    // While windows toggle and none opens or closes, the records come back
    // to a state they had (each phase reloads its count from the same
    // text): from then on the engine does what it did since, period after
    // period. Those periods are taken over as the engine made them, up to
    // the next pass at which the clock matters again.
    QHash<QString, qint64> seen;
    QList<Switch> switches;
    QList<int> acting(count, 0); // stretches in which each record may act now
    QList<int> active;           // those records, in list order
    QStringList passRecords;
    QString now;
    const auto snapshot = [&] {
        now = on ? QStringLiteral("1") : QStringLiteral("0");
        for (const int record : active) {
            for (const Line line : {Running, TogState, TogCount})
                now += QLatin1Char('\n') + state.at(record * kRecordLines + line);
        }
    };

    const QList<Segment> segments = segmentsOf(span);
    qsizetype segment = 0;
    qsizetype event = 0;
    qsizetype edge = 0;
    for (const auto& [from, to] : merged) {
        seen.clear();
        switches.clear();
        for (qint64 pass = std::max(from, span.fromMs); pass <= to && pass < span.toMs;
             pass += kPassMs) {
            bool activeChanged = false;
            for (; edge < edges.size() && edges.at(edge).pass <= pass; ++edge) {
                acting[edges.at(edge).record] += edges.at(edge).starts ? 1 : -1;
                activeChanged = true;
            }
            if (activeChanged) {
                active.clear();
                for (int record = 0; record < count; ++record) {
                    if (acting.at(record) > 0)
                        active.append(record);
                }
            }
            while (event < events.size() && events.at(event) < pass)
                ++event;
            // A state is compared with one of the same records only.
            if (activeChanged || (event < events.size() && events.at(event) == pass)) {
                seen.clear();
                switches.clear();
            } else {
                const qint64 nextEvent =
                    std::min(event < events.size() ? events.at(event) : span.toMs, span.toMs);
                snapshot();
                const auto earlier = seen.constFind(now);
                if (earlier != seen.constEnd()) {
                    const qint64 period = pass - *earlier;
                    const qint64 periods = (nextEvent - pass) / period;
                    QList<Switch> cycle;
                    for (const Switch& change : switches) {
                        if (change.pass >= *earlier)
                            cycle.append(change);
                    }
                    for (qint64 k = 1; k <= periods; ++k) {
                        for (Switch change : cycle) {
                            change.pass += k * period;
                            apply(change);
                        }
                    }
                    pass += periods * period;
                    seen.clear();
                    switches.clear();
                    if (pass > to || pass >= span.toMs)
                        break;
                } else if (seen.size() < kMaxRemembered) {
                    seen.insert(now, pass);
                }
            }
            if (active.isEmpty())
                continue;
            while (pass >= segments.at(segment).toMs)
                ++segment;
            passRecords.clear();
            for (const int record : active)
                passRecords += state.mid(record * kRecordLines, kRecordLines);
            int word = on ? mask : 0;
            if (ExecuteTimerPass(passRecords, word,
                                 dayNumberOf(pass + segments.at(segment).wallShiftMs), u'.') < 0)
                return out;
            int by = -1;
            for (qsizetype i = 0; i < active.size(); ++i) {
                const qsizetype first = active.at(i) * kRecordLines;
                const qsizetype mine = i * kRecordLines;
                if (passRecords.at(mine + Running) != state.at(first + Running) ||
                    passRecords.at(mine + TogState) != state.at(first + TogState))
                    by = active.at(i);
                for (const Line line : {Running, TogState, TogCount})
                    state[first + line] = passRecords.at(mine + line);
            }
            if (((word & mask) != 0) == on)
                continue;
            const Switch change{pass, (word & mask) != 0, by};
            switches.append(change);
            apply(change);
        }
    }
    if (on)
        out.append({relay, since, span.toMs, onBy, -1});
    // The relay is on in one stretch at a time, each noted when it ends: the
    // list is in time order.
    return out;
}

} // namespace

QList<RelayOn> RelayIntervals(const QStringList& records, const Span& span,
                              const QList<Interval>& windows)
{
    // A record switches only its own relay, and the records of other relays
    // never change what it does: the engine runs on the records of each
    // relay apart, where each toggle finds its period on its own.
    QList<RelayOn> out;
    const auto count = static_cast<int>(records.size() / kRecordLines);
    QList<int> local(count, -1); // each record's number among those of its relay
    QList<int> relays(count);
    for (int record = 0; record < count; ++record)
        relays[record] = StrToIntDef(records.at(record * kRecordLines + Channel), 0);
    for (int relay = 1; relay <= 16; ++relay) {
        QStringList own;
        QList<int> numbers;
        for (int record = 0; record < count; ++record) {
            if (relays.at(record) == relay) {
                local[record] = static_cast<int>(numbers.size());
                own += records.mid(record * kRecordLines, kRecordLines);
                numbers.append(record);
            }
        }
        if (own.isEmpty())
            continue;
        QList<Interval> ownWindows;
        for (Interval w : windows) {
            if (w.relay == relay) {
                w.record = local.at(w.record);
                ownWindows.append(w);
            }
        }
        const QList<RelayOn> stretches = runEngine(relay, own, span, ownWindows);
        for (RelayOn r : stretches) {
            r.onBy = r.onBy < 0 ? -1 : numbers.at(r.onBy);
            r.offBy = r.offBy < 0 ? -1 : numbers.at(r.offBy);
            out.append(r);
        }
    }
    return out;
}

Span DaySpan(const QDate& from, int days, const QTimeZone& zone)
{
    Span span;
    span.zone = zone;
    span.fromMs = QDateTime(from, QTime(0, 0), zone).toMSecsSinceEpoch();
    span.toMs = QDateTime(from.addDays(days), QTime(0, 0), zone).toMSecsSinceEpoch();
    span.passOriginMs = span.fromMs;
    return span;
}

int RelayWordAt(const QList<Interval>& intervals, qint64 passMs, int startWord)
{
    struct Last
    {
        qint64 at = std::numeric_limits<qint64>::min();
        int record = -1;
        bool on = false;
    };
    std::array<Last, 16> last{};
    const auto note = [&](const Interval& i, qint64 at, bool on) {
        Last& l = last[static_cast<size_t>(i.relay - 1)];
        if (at > l.at || (at == l.at && i.record > l.record))
            l = {at, i.record, on};
    };
    for (const Interval& i : intervals) {
        if (i.openPassMs > passMs)
            continue;
        if (i.closes && i.closePassMs <= passMs) {
            note(i, i.closePassMs, false);
            continue;
        }
        if (i.toggle) {
            const qint64 passes = (passMs - i.toggle->phaseOriginMs) / kPassMs;
            const PhaseAt phase = phaseAt(*i.toggle, passes);
            if (phase.switched) {
                note(i, passMs - phase.since * kPassMs, phase.on);
                continue;
            }
        }
        if (i.opens)
            note(i, i.openPassMs, true);
    }
    int word = startWord;
    for (int relay = 0; relay < 16; ++relay) {
        const Last& l = last[static_cast<size_t>(relay)];
        if (l.record < 0)
            continue;
        if (l.on)
            word |= 1 << relay;
        else
            word &= ~(1 << relay);
    }
    return word;
}

QList<Phase> Phases(const Interval& interval, int limit)
{
    QList<Phase> phases;
    if (!interval.toggle)
        return phases;
    const Toggle& t = *interval.toggle;
    const qint64 end = interval.closePassMs;
    qint64 at = t.phaseOriginMs;
    bool on = t.firstOn;
    qint64 length = t.firstMs;
    while (at < end && phases.size() < limit) {
        const qint64 from = std::max(at, interval.openPassMs);
        const qint64 to = std::min(at + length, end);
        if (to > from)
            phases.append({from, to, on});
        at += length;
        on = !on;
        length = on ? t.onMs : t.offMs;
    }
    return phases;
}

QList<std::pair<int, int>> Overlaps(const QList<Interval>& intervals)
{
    QList<int> order(intervals.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const Interval& x = intervals.at(a);
        const Interval& y = intervals.at(b);
        return std::tie(x.relay, x.onMs) < std::tie(y.relay, y.onMs);
    });
    QList<std::pair<int, int>> pairs;
    QList<int> open;
    int relay = 0;
    for (const int index : order) {
        const Interval& i = intervals.at(index);
        if (i.relay != relay) {
            open.clear();
            relay = i.relay;
        }
        open.removeIf([&](int other) { return intervals.at(other).offMs <= i.onMs; });
        for (const int other : open)
            pairs.append({std::min(other, index), std::max(other, index)});
        open.append(index);
    }
    return pairs;
}

QByteArray ToCsv(const QList<Interval>& intervals, const QTimeZone& zone)
{
    const auto time = [&](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, zone).toString(Qt::ISODate).toUtf8();
    };
    const auto seconds = [](qint64 ms) {
        return QByteArray::number(static_cast<double>(ms) / 1000.0, 'g', 15);
    };
    QByteArray csv("relay,record,on,off,toggle_on_s,toggle_off_s\r\n");
    for (const Interval& i : intervals) {
        csv += QByteArray::number(i.relay).rightJustified(2, '0') + ',' +
               QByteArray::number(i.record) + ',' + time(i.onMs) + ',' + time(i.offMs) + ',';
        if (i.toggle)
            csv += seconds(i.toggle->onMs) + ',' + seconds(i.toggle->offMs);
        else
            csv += ',';
        csv += "\r\n";
    }
    return csv;
}

QByteArray RelaysToCsv(const QList<RelayOn>& relays, const QTimeZone& zone)
{
    const auto time = [&](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, zone)
            .toString(ms % 1000 == 0 ? Qt::ISODate : Qt::ISODateWithMs)
            .toUtf8();
    };
    const auto record = [](int r) { return r < 0 ? QByteArray() : QByteArray::number(r); };
    QByteArray csv("relay,on,off,on_record,off_record\r\n");
    for (const RelayOn& r : relays)
        csv += QByteArray::number(r.relay).rightJustified(2, '0') + ',' + time(r.fromMs) + ',' +
               time(r.toMs) + ',' + record(r.onBy) + ',' + record(r.offBy) + "\r\n";
    return csv;
}

} // namespace schedule

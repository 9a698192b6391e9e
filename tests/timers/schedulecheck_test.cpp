// SPDX-License-Identifier: GPL-3.0-or-later
#include "safety/relayguard.h"
#include "timers/schedulecheck.h"
#include "timertest.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QTimeZone kBerlin("Europe/Berlin");
// A Monday; the week runs to Sunday 8 March.
const QDate kMonday(2026, 3, 2);

// A record on the given weekdays ("SMTWTFS" as 0 and 1), wall-clock times.
QStringList weekly(const QString& relay, QTime on, QTime off, const QString& days,
                   const QString& togOn = u"0"_s, const QString& togOff = u"0"_s)
{
    return dateRecord(relay, at(2002, 1, 1, on.hour(), on.minute(), on.second()),
                      at(2002, 1, 1, off.hour(), off.minute(), off.second()), days, togOn, togOff);
}

QStringList joined(std::initializer_list<QStringList> records)
{
    QStringList list;
    for (const QStringList& record : records)
        list += record;
    return list;
}

safety::BoardSettings interlocked(std::initializer_list<quint16> groups)
{
    safety::BoardSettings settings;
    settings.interlocks = QList<quint16>(groups);
    return settings;
}

// The warnings one a line, as failures print them.
std::string lines(const QStringList& warnings)
{
    return warnings.join(u'\n').toStdString();
}

std::string warnings(const QStringList& records, const safety::BoardSettings& settings)
{
    return lines(schedule::ScheduleWarnings(records, settings, kMonday, kBerlin));
}

const QString kTuesday = u"0010000"_s;

TEST(ScheduleCheck, OverlapsOfOneGroupNameTheRecordsAndTheTime)
{
    const QStringList filler = weekly(u"09"_s, QTime(6, 0), QTime(7, 0), kTuesday);
    const QStringList records =
        joined({filler, filler, filler, weekly(u"01"_s, QTime(7, 30), QTime(9, 0), kTuesday),
                filler, filler,
                // Relay 03 is in no group: it may be on with anything.
                weekly(u"03"_s, QTime(7, 0), QTime(12, 0), kTuesday),
                weekly(u"02"_s, QTime(8, 0), QTime(10, 0), kTuesday),
                // A second pair on every weekday, across midnight of Sunday.
                weekly(u"05"_s, QTime(20, 0), QTime(21, 0), u"0111110"_s),
                weekly(u"04"_s, QTime(20, 30), QTime(22, 0), u"0100010"_s)});
    EXPECT_EQ(warnings(records, interlocked({0x0003, 0x0018})),
              lines(QStringList{
                  u"records 3 and 7 overlap on Tue 08:00-09:00 in interlock group 01,02"_s,
                  u"records 8 and 9 overlap on Mon 20:30-21:00 in interlock group 04,05"_s,
                  u"records 8 and 9 overlap on Fri 20:30-21:00 in interlock group 04,05"_s,
              }));
    // Without groups, or with groups the records do not touch, nothing.
    EXPECT_TRUE(warnings(records, {}).empty());
    EXPECT_TRUE(warnings(records, interlocked({0x0300})).empty());
}

// Local times on both sides of the night the clocks go back.
TEST(ScheduleCheck, OverlapTimesAreTheWallClocksAcrossADaylightSavingChange)
{
    const QStringList records = joined({
        weekly(u"01"_s, QTime(8, 0), QTime(9, 0), u"1000100"_s),
        weekly(u"02"_s, QTime(8, 30), QTime(9, 30), u"1000100"_s),
    });
    EXPECT_EQ(lines(schedule::ScheduleWarnings(records, interlocked({0x0003}), QDate(2026, 10, 22),
                                               kBerlin)),
              lines({u"records 0 and 1 overlap on Thu 08:30-09:00 in interlock group 01,02"_s,
                     u"records 0 and 1 overlap on Sun 08:30-09:00 in interlock group 01,02"_s}));
}

TEST(ScheduleCheck, ToggleOverlapsCountOnlyPhasesThatAreOnTogether)
{
    // In step: both on for their first second of every two, merged into
    // one stretch from the first to the last.
    const QStringList inStep = joined({
        weekly(u"01"_s, QTime(10, 0), QTime(10, 1), u"0001000"_s, u"1"_s, u"1"_s),
        weekly(u"02"_s, QTime(10, 0), QTime(10, 1), u"0001000"_s, u"1"_s, u"1"_s),
    });
    EXPECT_EQ(warnings(inStep, interlocked({0x0003})),
              lines(QStringList{
                  u"records 0 and 1 overlap on Wed 10:00-10:00:59 in interlock group 01,02"_s}));
    // Each is on only while the other is off: 3 s on and 3 s off, and 1 s
    // on and 5 s off from the fourth second.
    const QStringList alternate = joined({
        weekly(u"01"_s, QTime(10, 0), QTime(10, 1), u"0001000"_s, u"3"_s, u"3"_s),
        weekly(u"02"_s, QTime(10, 0, 4), QTime(10, 1), u"0001000"_s, u"1"_s, u"5"_s),
    });
    EXPECT_EQ(warnings(alternate, interlocked({0x0003})), "");
    // A steady window against a toggling one: from its first ON phase to
    // the end of its last.
    const QStringList steady = joined({
        weekly(u"01"_s, QTime(10, 0), QTime(11, 0), u"0001000"_s),
        weekly(u"02"_s, QTime(10, 30, 5), QTime(10, 31), u"0001000"_s, u"10"_s, u"20"_s),
    });
    EXPECT_EQ(warnings(steady, interlocked({0x0003})),
              lines(QStringList{
                  u"records 0 and 1 overlap on Wed 10:30:05-10:30:45 in interlock group 01,02"_s}));
}

// The overlap of two toggling windows against every phase of both,
// listed one by one.
TEST(ScheduleCheck, ToggleOverlapsAgreeWithThePhasesOneByOne)
{
    struct Pair
    {
        int secondStart;
        const char16_t* onA;
        const char16_t* offA;
        const char16_t* onB;
        const char16_t* offB;
    };
    const Pair pairs[] = {{0, u"1", u"1", u"1", u"1"},   {1, u"0.4", u"0.6", u"2", u"3"},
                          {7, u"3", u"3", u"1", u"5"},   {2, u"1.2", u"1", u"0.2", u"0.2"},
                          {5, u"10", u"20", u"4", u"4"}, {0, u"3", u"3", u"3", u"3"},
                          {3, u"3", u"3", u"3", u"3"}};
    const schedule::Span span = schedule::DaySpan(kMonday, 7, kBerlin);
    for (const Pair& p : pairs) {
        const QStringList records = joined({
            weekly(u"01"_s, QTime(10, 0), QTime(10, 2), u"0001000"_s, QString::fromUtf16(p.onA),
                   QString::fromUtf16(p.offA)),
            weekly(u"02"_s, QTime(10, 0, p.secondStart), QTime(10, 1, 30), u"0001000"_s,
                   QString::fromUtf16(p.onB), QString::fromUtf16(p.offB)),
        });
        const schedule::Schedule week = schedule::ComputeSchedule(records, span);
        ASSERT_EQ(week.intervals.size(), 2);
        std::optional<std::pair<qint64, qint64>> both;
        for (const schedule::Phase& a : schedule::Phases(week.intervals.at(0), 100000)) {
            for (const schedule::Phase& b : schedule::Phases(week.intervals.at(1), 100000)) {
                const qint64 from = std::max(a.fromMs, b.fromMs);
                const qint64 to = std::min(a.toMs, b.toMs);
                if (!a.on || !b.on || from >= to)
                    continue;
                both = both ? std::pair{std::min(both->first, from), std::max(both->second, to)}
                            : std::pair{from, to};
            }
        }
        const auto wall = [](qint64 ms) {
            const QTime t =
                QDateTime::fromMSecsSinceEpoch((ms + 500) / 1000 * 1000, kBerlin).time();
            return t.toString(t.second() == 0 ? u"HH:mm"_s : u"HH:mm:ss"_s);
        };
        const std::string expected =
            both ? QStringLiteral("records 0 and 1 overlap on Wed %1-%2 in interlock group 01,02")
                       .arg(wall(both->first), wall(both->second))
                       .toStdString()
                 : std::string();
        EXPECT_EQ(
            lines(schedule::InterlockOverlaps(week.intervals, interlocked({0x0003}), kBerlin)),
            expected)
            << p.secondStart << " " << QString::fromUtf16(p.onB).toStdString();
    }
}

TEST(ScheduleCheck, WindowsLongerThanTheMaximumOnTime)
{
    safety::BoardSettings settings;
    settings.maxOn[4] = std::chrono::minutes(20);
    settings.maxOn[5] = std::chrono::minutes(20);
    settings.maxOn[6] = std::chrono::hours(24);
    settings.relayNames[5] = u"Heater"_s;
    const QStringList records = joined({
        weekly(u"05"_s, QTime(8, 0), QTime(8, 20), u"1111111"_s),
        weekly(u"01"_s, QTime(8, 0), QTime(18, 0), u"1111111"_s),
        // On two days, one message.
        weekly(u"05"_s, QTime(9, 0), QTime(10, 0), u"0110000"_s),
        weekly(u"06"_s, QTime(9, 0), QTime(12, 0), u"0100000"_s, u"600"_s, u"600"_s),
        weekly(u"05"_s, QTime(12, 0), QTime(14, 0), u"0010000"_s),
        // ON phases of half an hour in a window of three hours.
        weekly(u"06"_s, QTime(13, 0), QTime(16, 0), u"0010000"_s, u"1800"_s, u"600"_s),
        // A date window over the whole week.
        dateRecord(u"07"_s, at(2026, 2, 1, 0, 0), at(2026, 4, 1, 0, 0)),
    });
    EXPECT_EQ(warnings(records, settings),
              lines(QStringList{
                  u"record 2 keeps relay 05 on for 1h, longer than its maximum on-time 20min"_s,
                  u"record 4 keeps relay 05 on for 2h, longer than its maximum on-time 20min"_s,
                  u"record 5 keeps relay 06 (Heater) on for 30min, longer than its maximum "
                  u"on-time 20min"_s,
                  u"record 6 keeps relay 07 on for at least 168h, longer than its maximum "
                  u"on-time 24h"_s,
              }));
}

} // namespace

namespace {

using schedule::Hold;
using schedule::RelayOn;

qint64 ms(int hour, int minute, int second = 0, int msec = 0)
{
    return at(2026, 3, 2, hour, minute, second, msec).toMSecsSinceEpoch();
}

TEST(GuardRelays, InterlocksDeadTimeAndMaximumOnTimeAsTheControllerActs)
{
    safety::BoardSettings settings = interlocked({0x0007});
    settings.maxOn[4] = std::chrono::minutes(20);
    // Relays 01 to 03 in one group, relay 05 with a maximum on-time.
    const QList<RelayOn> asked{
        {1, ms(8, 0), ms(10, 0), 0, 0},
        {1, ms(13, 0), ms(14, 0), 1, 1},
        // Asked while 01 is on: dropped, off for all its stretch.
        {2, ms(9, 0), ms(11, 0), 2, 2},
        // Asked with 03 at the same write: the lower number wins.
        {2, ms(12, 0), ms(12, 30), 3, 3},
        {3, ms(12, 0), ms(12, 20), 4, 4},
        // Asked as 01 goes off: on after the dead time.
        {3, ms(14, 0), ms(15, 0), 5, 5},
        {5, ms(12, 0), ms(14, 0), 6, 6},
        // Asked again: on again, for at most its maximum.
        {5, ms(15, 0), ms(15, 10), 7, 7},
    };
    const schedule::Guarded guarded = schedule::GuardRelays(asked, settings, ms(0, 0));
    EXPECT_EQ(guarded.relays, (QList<RelayOn>{
                                  {1, ms(8, 0), ms(10, 0), 0, 0},
                                  {1, ms(13, 0), ms(14, 0), 1, 1},
                                  {2, ms(12, 0), ms(12, 30), 3, 3},
                                  {3, ms(14, 0, 0, 200), ms(15, 0), 5, 5},
                                  {5, ms(12, 0), ms(12, 20), 6, -1},
                                  {5, ms(15, 0), ms(15, 10), 7, 7},
                              }));
    EXPECT_EQ(guarded.holds, (QList<Hold>{
                                 {2, ms(9, 0), ms(11, 0), Hold::Why::Interlock, 1},
                                 {3, ms(12, 0), ms(12, 20), Hold::Why::Interlock, 2},
                                 {3, ms(14, 0), ms(14, 0, 0, 200), Hold::Why::DeadTime, 1},
                                 {5, ms(12, 20), ms(14, 0), Hold::Why::MaxOn, 0},
                             }));

    // The controller's own guard, fed the timers' requests at their passes
    // and asked for every relay write between them, sends the same.
    safety::RelayGuard guard;
    guard.setSettings(settings);
    quint16 portOut = 0;
    quint16 lastAsked = 0;
    std::array<std::optional<qint64>, safety::kRelays> onSince{};
    QList<RelayOn> sent;
    for (qint64 t = ms(7, 0); t <= ms(16, 0); t += schedule::kPassMs) {
        quint16 wanted = 0;
        for (const RelayOn& r : asked) {
            if (r.fromMs <= t && t < r.toMs)
                wanted |= static_cast<quint16>(1 << (r.relay - 1));
        }
        const safety::RelayGuard::time_point now{std::chrono::milliseconds(t)};
        if (const auto mask = static_cast<quint16>(wanted ^ lastAsked)) {
            const auto stored = static_cast<quint16>((portOut & ~mask) | (wanted & mask));
            portOut = guard.admit(safety::RelayGuard::Ask::Once, mask, portOut, stored, now);
        }
        lastAsked = wanted;
        portOut = guard.release(portOut, now);
        for (int relay = 0; relay < safety::kRelays; ++relay) {
            auto& since = onSince.at(static_cast<size_t>(relay));
            const bool on = (portOut & (1 << relay)) != 0;
            if (on && !since)
                since = t;
            if (!on && since) {
                sent.append({relay + 1, *since, t});
                since.reset();
            }
        }
    }
    std::sort(sent.begin(), sent.end(), [](const RelayOn& a, const RelayOn& b) {
        return std::tie(a.relay, a.fromMs) < std::tie(b.relay, b.fromMs);
    });
    QList<RelayOn> drawn = guarded.relays;
    for (RelayOn& r : drawn)
        r.onBy = r.offBy = -1;
    EXPECT_EQ(drawn, sent);

    // Without guards the relays are as asked.
    const schedule::Guarded free = schedule::GuardRelays(asked, {}, ms(0, 0));
    EXPECT_EQ(free.relays, asked);
    EXPECT_TRUE(free.holds.isEmpty());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/manualclock.h"
#include "support/rig.h"
#include "support/timezone.h"
#include "timers/chantimer.h"
#include "timers/schedule.h"
#include "timers/timerpass.h"
#include "timertest.h"

#include <gtest/gtest.h>

using namespace schedule;

namespace {

// A daily record: the times of day matter, the date does not.
QStringList dailyRecord(const QString& channel, QTime on, QTime off, const QString& days,
                        const QString& togOn = QStringLiteral("0"),
                        const QString& togOff = QStringLiteral("0"))
{
    return dateRecord(channel, QDateTime(QDate(2002, 1, 1), on, Qt::UTC),
                      QDateTime(QDate(2002, 1, 1), off, Qt::UTC), days, togOn, togOff);
}

QStringList joined(std::initializer_list<QStringList> records)
{
    QStringList list;
    for (const QStringList& record : records)
        list += record;
    return list;
}

struct AgreementCase
{
    const char* name;
    QByteArray zone;
    QDateTime from; // wall time in the zone
    int minutes;
    QStringList records;
    int intervals; // how many the schedule must find, so that no case passes idly
};

std::vector<AgreementCase> agreementCases()
{
    const QString every = QStringLiteral("1111111");
    const QString thursday = QStringLiteral("0000100");
    const QString friday = QStringLiteral("0000010");
    return {
        {"midnight", "UTC", at(2014, 7, 2, 22, 59), 122,
         joined({dateRecord("01", at(2014, 7, 2, 23, 0), at(2014, 7, 3, 1, 0)),
                 dailyRecord("02", QTime(23, 30), QTime(23, 59, 59), every),
                 dailyRecord("03", QTime(0, 0), QTime(0, 0, 30), every)}),
         3},
        {"weekday windows", "UTC", at(2014, 7, 3, 23, 45), 30,
         joined({dailyRecord("01", QTime(23, 50), QTime(23, 55), friday),
                 dailyRecord("02", QTime(23, 50), QTime(23, 55), thursday),
                 dailyRecord("03", QTime(0, 1), QTime(0, 3), friday),
                 dailyRecord("04", QTime(0, 1), QTime(0, 3), thursday)}),
         2},
        {"date windows", "UTC", at(2014, 7, 3, 17, 0), 90,
         joined({kRelay5Record, dateRecord("06", at(2014, 7, 1, 9, 0), at(2014, 7, 3, 17, 45)),
                 dateRecord("07", at(2014, 7, 3, 18, 10), at(2014, 7, 9, 6, 0)),
                 dateRecord("08", at(2014, 7, 3, 17, 10), at(2014, 7, 3, 17, 5))}),
         3},
        {"toggling across two days", "UTC", at(2014, 7, 3, 23, 58), 24 * 60 + 2,
         joined({kRelay12Record,
                 dateRecord("09", at(2014, 7, 4, 10, 0), at(2014, 7, 4, 10, 7, 13), "0000000",
                            "0.5", "0.3"),
                 dailyRecord("10", QTime(23, 59), QTime(23, 59, 50), every, "7", "3.1")}),
         1 + 1 + 2},
        {"overlapping records", "UTC", at(2014, 7, 3, 9, 59), 135,
         joined(
             {dateRecord("03", at(2014, 7, 3, 10, 0), at(2014, 7, 3, 12, 0)),
              dateRecord("03", at(2014, 7, 3, 11, 0), at(2014, 7, 3, 11, 30)),
              dateRecord("03", at(2014, 7, 3, 11, 20), at(2014, 7, 3, 11, 25), "0000000", "2", "1"),
              dailyRecord("03", QTime(11, 40), QTime(12, 10), every),
              dateRecord("16", at(2014, 7, 3, 12, 11), at(2014, 7, 3, 12, 12)),
              dateRecord("16", at(2014, 7, 3, 12, 12), at(2014, 7, 3, 12, 13))}),
         6},
        {"clocks go back", "Europe/Berlin", at(2026, 10, 25, 1, 0), 4 * 60,
         joined({dateRecord("01", at(2026, 10, 25, 2, 10), at(2026, 10, 25, 2, 20)),
                 dailyRecord("02", QTime(2, 30), QTime(2, 50), every),
                 dateRecord("03", at(2026, 10, 25, 1, 30), at(2026, 10, 25, 2, 40)),
                 dailyRecord("04", QTime(2, 55), QTime(3, 5), every, "1.2", "1")}),
         4},
        {"clocks go forward", "Europe/Berlin", at(2026, 3, 29, 1, 0), 2 * 60,
         joined({dateRecord("01", at(2026, 3, 29, 2, 10), at(2026, 3, 29, 2, 20)),
                 dateRecord("02", at(2026, 3, 29, 1, 50), at(2026, 3, 29, 3, 10)),
                 dailyRecord("03", QTime(1, 59), QTime(3, 1), every, "0.6", "0.4")}),
         2},
        {"half an hour back", "Australia/Lord_Howe", at(2026, 4, 5, 1, 0), 2 * 60,
         joined(
             {dailyRecord("05", QTime(1, 40), QTime(1, 50), every),
              dateRecord("06", at(2026, 4, 5, 1, 45), at(2026, 4, 5, 1, 55), "0000000", "3", "2")}),
         2},
    };
}

} // namespace

// The engine, pass by pass every 200 ms on the injected clock in local
// time, holds at every pass the word of relays the schedule gives.
TEST(ScheduleAgreesWithTheEngine, AtEveryPass)
{
    for (const AgreementCase& c : agreementCases()) {
        SCOPED_TRACE(c.name);
        const ScopedTimeZone scoped(c.zone);
        const QTimeZone zone(c.zone);
        ASSERT_TRUE(zone.isValid());
        Span span;
        span.zone = zone;
        span.fromMs = QDateTime(c.from.date(), c.from.time(), zone).toMSecsSinceEpoch();
        span.toMs = span.fromMs + c.minutes * qint64{60'000};
        span.passOriginMs = span.fromMs;
        const Schedule schedule = ComputeSchedule(c.records, span);
        ASSERT_EQ(schedule.faultyRecord, -1) << schedule.error.toStdString();
        EXPECT_EQ(schedule.intervals.size(), c.intervals);

        QStringList records = c.records;
        // The zone of the case is the process's local time; without
        // daylight saving the clock runs in UTC, as cheaply.
        ManualClock clock(c.zone == "UTC"
                              ? QDateTime::fromMSecsSinceEpoch(span.fromMs, QTimeZone::utc())
                              : QDateTime::fromMSecsSinceEpoch(span.fromMs));
        // Where the relays the schedule gives switch, in time order.
        QList<std::pair<qint64, int>> edges;
        for (const RelayOn& r : schedule.relays) {
            edges.append({r.fromMs, 1 << (r.relay - 1)});
            edges.append({r.toMs, 1 << (r.relay - 1)});
        }
        std::sort(edges.begin(), edges.end());
        qsizetype edge = 0;
        int relaysOn = 0;
        int portOut = 0;
        int passesOn = 0;
        for (qint64 pass = span.fromMs; pass < span.toMs; pass += kPassMs) {
            ASSERT_NE(ExecuteTimerPass(records, portOut, dayNumber(clock.now()), u'.'), -1);
            const int expected = RelayWordAt(schedule.intervals, pass);
            for (; edge < edges.size() && edges.at(edge).first <= pass; ++edge)
                relaysOn ^= edges.at(edge).second;
            if (portOut != expected || portOut != relaysOn) {
                ADD_FAILURE() << "at " << clock.now().toString(Qt::ISODateWithMs).toStdString()
                              << ": engine " << std::hex << portOut << ", schedule " << expected
                              << ", relays " << relaysOn;
                break;
            }
            passesOn += portOut != 0;
            clock.advanceMs(kPassMs);
        }
        EXPECT_GT(passesOn, 0);
    }
}

// Two records on relay 3, the second opening and closing inside the first:
// the relay is what the controller writes to the board, pass for pass.
TEST(RelayIntervals, AreWhatTheControllerWritesToTheBoard)
{
    const QStringList records =
        joined({dateRecord("03", at(2026, 3, 28, 4, 50, 0), at(2026, 3, 28, 4, 51, 48)),
                dateRecord("03", at(2026, 3, 28, 4, 50, 30), at(2026, 3, 28, 4, 51, 8)),
                dateRecord("04", at(2026, 3, 28, 4, 51, 0), at(2026, 3, 28, 4, 51, 3), "0000000",
                           "0.4", "0.6")});
    const Schedule s = ComputeSchedule(records, DaySpan(QDate(2026, 3, 28), 1, QTimeZone::utc()));
    ASSERT_EQ(s.faultyRecord, -1);

    Rig rig;
    rig.startUp();
    rig.link.autoReply = true;
    rig.clock.set(at(2026, 3, 28, 4, 49, 50));
    rig.core.timers().setTimerList(records);
    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    // The stretches in which each relay command holds a relay on, from the
    // moment of the command that set it to that of the one that cleared it.
    std::array<qint64, 16> since{};
    since.fill(-1);
    QList<RelayOn> wire;
    for (int tick = 0; tick < 2 * 5 * 130; ++tick) {
        const qsizetype before = rig.link.written.size();
        rig.tick();
        rig.link.deliver();
        if (rig.link.written.size() > before && rig.link.written.last().startsWith('R')) {
            const int word = rig.link.written.last().mid(1, 4).toInt(nullptr, 16);
            const qint64 now = rig.clock.now().toMSecsSinceEpoch();
            for (int relay = 0; relay < 16; ++relay) {
                const bool on = word & (1 << relay);
                qint64& from = since[static_cast<size_t>(relay)];
                if (on && from < 0) {
                    from = now;
                } else if (!on && from >= 0) {
                    wire.append({relay + 1, from, now, -1, -1});
                    from = -1;
                }
            }
        }
        rig.clock.advanceMs(100);
    }
    ASSERT_TRUE(std::all_of(since.begin(), since.end(), [](qint64 t) { return t < 0; }));
    std::stable_sort(wire.begin(), wire.end(), [](const RelayOn& a, const RelayOn& b) {
        return std::tie(a.relay, a.fromMs) < std::tie(b.relay, b.fromMs);
    });

    QList<RelayOn> shown = s.relays;
    ASSERT_FALSE(shown.isEmpty());
    // Relay 3 goes off at 04:51:08, when the second record closes, and stays
    // off: the first record's window closing later switches nothing. (Its
    // ON line lies a hair after 04:50:00, so it opens on the next pass.)
    EXPECT_EQ(shown.first(), (RelayOn{3, at(2026, 3, 28, 4, 50, 0).toMSecsSinceEpoch() + kPassMs,
                                      at(2026, 3, 28, 4, 51, 8).toMSecsSinceEpoch(), 0, 1}));
    for (RelayOn& r : shown)
        r.onBy = r.offBy = -1;
    EXPECT_EQ(shown, wire);
    // Relay 4 toggles 0.4 s on, 0.6 s off, a stretch per ON phase.
    const auto toggled =
        std::find_if(shown.begin(), shown.end(), [](const RelayOn& r) { return r.relay == 4; });
    ASSERT_NE(toggled, shown.end());
    EXPECT_EQ(toggled->toMs - toggled->fromMs, 400);
    EXPECT_EQ((toggled + 1)->fromMs - toggled->toMs, 600);
}

TEST(Schedule, IntervalsOfTheDaylightSavingDays)
{
    const ScopedTimeZone scoped("Europe/Berlin");
    const QTimeZone zone("Europe/Berlin");
    const auto local = [&](int month, int day, int h, int m) {
        return QDateTime(QDate(2026, month, day), QTime(h, m), zone).toMSecsSinceEpoch();
    };
    // Going back, a daily window in the repeated hour runs once, at its
    // first showing (UTC+2).
    Schedule back = ComputeSchedule(dailyRecord("02", QTime(2, 30), QTime(2, 50), "1111111"),
                                    DaySpan(QDate(2026, 10, 25), 1, zone));
    ASSERT_EQ(back.intervals.size(), 1);
    EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(back.intervals[0].onMs, zone).offsetFromUtc(), 7200);
    EXPECT_EQ(back.intervals[0].offMs - back.intervals[0].onMs, 20 * 60'000);
    // Going forward, a window across the skipped hour is open an hour less.
    Schedule forward =
        ComputeSchedule(dateRecord("02", at(2026, 3, 29, 1, 50), at(2026, 3, 29, 3, 10)),
                        DaySpan(QDate(2026, 3, 29), 1, zone));
    ASSERT_EQ(forward.intervals.size(), 1);
    // The ON line lies a little above 01:50:00, so the window opens in its
    // first millisecond.
    EXPECT_EQ(forward.intervals[0].onMs, local(3, 29, 1, 50) + 1);
    EXPECT_EQ(forward.intervals[0].offMs / 1000 - local(3, 29, 1, 50) / 1000, 20 * 60);
}

TEST(Schedule, ToggleCarriesItsCountIntoTheNextWindow)
{
    const QTimeZone utc = QTimeZone::utc();
    // 08:00 to 08:00:05 daily, ON 1.2 s and OFF 1 s: the window closes two
    // passes into its third ON phase, and the four passes left of it are the
    // next day's first ON phase.
    const Schedule s =
        ComputeSchedule(dailyRecord("01", QTime(8, 0), QTime(8, 0, 5), "1111111", "1.2", "1"),
                        DaySpan(QDate(2014, 7, 3), 2, utc));
    ASSERT_EQ(s.intervals.size(), 2);
    const QList<Phase> first = Phases(s.intervals[0], 100);
    ASSERT_EQ(first.size(), 5);
    EXPECT_EQ(first[0].toMs - first[0].fromMs, 1200);
    EXPECT_FALSE(first[1].on);
    EXPECT_EQ(first[4].toMs - first[4].fromMs, 600);
    const QList<Phase> second = Phases(s.intervals[1], 100);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_TRUE(second[0].on);
    EXPECT_EQ(second[0].toMs - second[0].fromMs, 800);
}

TEST(Schedule, RunningCopyStartsWhereTheEngineIs)
{
    // A running list part way through: one window open (toggling, in its
    // OFF phase with 0.4 s left), one closed today and latched.
    QStringList records =
        joined({dateRecord("01", at(2014, 7, 3, 9, 0), at(2014, 7, 3, 10, 0), "0000000", "1", "2"),
                dailyRecord("02", QTime(10, 0), QTime(11, 0), "1111111")});
    const double today = std::floor(dayNumber(at(2014, 7, 3, 0, 0)));
    records[chantimer::Running] = "1";
    records[chantimer::TogState] = "0";
    records[chantimer::TogCount] = "0.4";
    records[9 + chantimer::Running] = QStringLiteral("c%1").arg(today);
    Span span = DaySpan(QDate(2014, 7, 3), 2, QTimeZone::utc());
    span.fromMs = QDateTime(QDate(2014, 7, 3), QTime(9, 30), QTimeZone::utc()).toMSecsSinceEpoch();
    span.passOriginMs = span.fromMs;
    const Schedule s = ComputeSchedule(records, span);
    ASSERT_EQ(s.intervals.size(), 2);
    EXPECT_FALSE(s.intervals[0].opens);
    EXPECT_EQ(s.intervals[0].onMs, span.fromMs);
    // The first pass counts the OFF phase down and switches nothing; the
    // second ends it.
    EXPECT_EQ(RelayWordAt(s.intervals, span.fromMs, 1), 1);
    EXPECT_EQ(RelayWordAt(s.intervals, span.fromMs + kPassMs, 0), 1);
    // The daily window opens again only tomorrow.
    EXPECT_EQ(s.intervals[1].onMs / 1000, at(2014, 7, 4, 10, 0).toSecsSinceEpoch());
}

TEST(Schedule, FaultyRecordsAndTheirMessage)
{
    const Span span = DaySpan(QDate(2014, 7, 3), 1, QTimeZone::utc());
    QStringList records = kRelay5Record + kRelay12Record;
    records[9] = "17";
    Schedule s = ComputeSchedule(records, span);
    EXPECT_EQ(s.faultyRecord, 1);
    EXPECT_TRUE(s.intervals.isEmpty());
    EXPECT_TRUE(s.error.contains("17"));

    records = kRelay12Record;
    records[chantimer::TogCount] = "x";
    EXPECT_EQ(ComputeSchedule(records, span).faultyRecord, 0);
    records = kRelay12Record;
    records.removeLast();
    EXPECT_EQ(ComputeSchedule(records, span).faultyRecord, 0);
}

TEST(Schedule, OverlapsAndCsv)
{
    const QTimeZone zone("Europe/Berlin");
    const Schedule s =
        ComputeSchedule(joined({dateRecord("03", at(2026, 7, 3, 10, 0), at(2026, 7, 3, 12, 0)),
                                dateRecord("04", at(2026, 7, 3, 11, 0), at(2026, 7, 3, 11, 30)),
                                dateRecord("03", at(2026, 7, 3, 12, 0), at(2026, 7, 3, 13, 0)),
                                dateRecord("03", at(2026, 7, 3, 11, 59), at(2026, 7, 3, 12, 1),
                                           "0000000", "1.2", "1")}),
                        DaySpan(QDate(2026, 7, 3), 1, zone));
    ASSERT_EQ(s.intervals.size(), 4);
    EXPECT_EQ(Overlaps(s.intervals), (QList<std::pair<int, int>>{{0, 3}, {2, 3}}));

    const QList<QByteArray> lines = ToCsv(s.intervals, zone).split('\n');
    EXPECT_EQ(lines.at(0), "relay,record,on,off,toggle_on_s,toggle_off_s\r");
    EXPECT_EQ(lines.at(1), "03,0,2026-07-03T10:00:00+02:00,2026-07-03T12:00:00+02:00,,\r");
    EXPECT_EQ(lines.at(4), "03,3,2026-07-03T11:59:00+02:00,2026-07-03T12:01:00+02:00,1.2,1\r");
}

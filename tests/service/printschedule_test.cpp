// SPDX-License-Identifier: GPL-3.0-or-later
// --print-schedule: a project's timer records as CSV, without a board.
#include "common/daynumber.h"
#include "common/textlines.h"
#include "service/printschedule.h"
#include "timers/chantimer.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using service::ConfigError;

double dayNumber(int day, int hour, int minute)
{
    return DateTimeToDayNumber(
        QDateTime(QDate(2027, 1, day), QTime(hour, minute), QTimeZone::utc()));
}

QString writeProject(const QTemporaryDir& dir, const QStringList& timers)
{
    const QString path = dir.filePath(QStringLiteral("tank.iom"));
    QStringList lines{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                      QStringLiteral("[t]")};
    lines += timers;
    lines += QStringLiteral("[r]");
    WriteTextLines(path, lines);
    return path;
}

TEST(PrintSchedule, ListsEachIntervalInsideTheDaysAsked)
{
    QTemporaryDir dir;
    QStringList timers = chantimer::MakeRecord(
        QStringLiteral("03"), dayNumber(5, 6, 0), dayNumber(5, 7, 30), QStringLiteral("0"),
        QStringLiteral("0"), QStringLiteral("0000000"), QLatin1Char('.'));
    timers += chantimer::MakeRecord(QStringLiteral("12"), dayNumber(9, 22, 0), dayNumber(10, 1, 0),
                                    QStringLiteral("0"), QStringLiteral("0"),
                                    QStringLiteral("0000000"), QLatin1Char('.'));
    const QString project = writeProject(dir, timers);

    const auto week = service::ScheduleCsv(project, QDate(2027, 1, 4), 7, QTimeZone::utc(),
                                           service::ScheduleRows::Records);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(week));
    EXPECT_EQ(std::get<QByteArray>(week).toStdString(),
              QByteArray("relay,record,on,off,toggle_on_s,toggle_off_s\r\n"
                         "03,0,2027-01-05T06:00:00+00:00,2027-01-05T07:30:00+00:00,,\r\n"
                         "12,1,2027-01-09T22:00:00+00:00,2027-01-10T01:00:00+00:00,,\r\n")
                  .toStdString());

    // The second record's window runs past the end of the days asked: it
    // ends there.
    const auto late = service::ScheduleCsv(project, QDate(2027, 1, 9), 1, QTimeZone::utc(),
                                           service::ScheduleRows::Records);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(late));
    EXPECT_EQ(std::get<QByteArray>(late).toStdString(),
              QByteArray("relay,record,on,off,toggle_on_s,toggle_off_s\r\n"
                         "12,1,2027-01-09T22:00:00+00:00,2027-01-10T00:00:00+00:00,,\r\n")
                  .toStdString());
}

QByteArray dataFile(const char* name)
{
    QFile file(QStringLiteral(V217_SERVICE_TEST_DATA "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Two windows on relay 3 that overlap, the second closing while the first
// is open; a toggling daily record and a date window across the night the
// clocks go forward.
TEST(PrintSchedule, RowsAreWhatTheRelaysDoAndRecordsKeepTheirWindows)
{
    const QString project = QStringLiteral(V217_SERVICE_TEST_DATA "/overlaps.iom");
    const QTimeZone berlin("Europe/Berlin");

    // --records: the records' windows, byte for byte as they always were.
    const auto records = service::ScheduleCsv(project, QDate(2026, 3, 28), 3, berlin,
                                              service::ScheduleRows::Records);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(records));
    const QByteArray golden = dataFile("overlaps-records.csv");
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(std::get<QByteArray>(records).toStdString(), golden.toStdString());

    // By default: relay 3 goes off when the second record closes, although
    // the first record's window is open until 04:51:48. (The ON line lies a
    // hair after 04:50:00: the engine switches on at the pass after it.)
    const auto relays = service::ScheduleCsv(project, QDate(2026, 3, 28), 3, berlin);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(relays));
    const QList<QByteArray> lines = std::get<QByteArray>(relays).split('\n');
    EXPECT_EQ(lines.at(0), "relay,on,off,on_record,off_record\r");
    EXPECT_EQ(lines.at(1), "03,2026-03-28T04:50:00.200+01:00,2026-03-28T04:51:08+01:00,0,1\r");
    EXPECT_EQ(lines.at(2), "05,2026-03-29T01:30:00+01:00,2026-03-29T03:30:00+02:00,3,3\r");
    // Each toggle phase of relay 12 is a stretch of its own, to the
    // millisecond; the first ON phase lasts 1.2 s. On the night the clocks
    // go forward one phase runs over the skipped hour, and the window is
    // open for 14 s.
    EXPECT_EQ(lines.at(3), "12,2026-03-28T01:59:50.200+01:00,2026-03-28T01:59:51.400+01:00,2,2\r");
    // The first ON phase of the next day is what the count had left: 1 s.
    EXPECT_TRUE(
        lines.contains("12,2026-03-29T01:59:50.200+01:00,2026-03-29T01:59:51.200+01:00,2,2\r"));
    EXPECT_TRUE(lines.contains("12,2026-03-29T01:59:58.800+01:00,2026-03-29T03:00:00+02:00,2,2\r"));
    EXPECT_TRUE(lines.contains("12,2026-03-29T03:00:03.200+02:00,2026-03-29T03:00:04+02:00,2,2\r"));
}

TEST(PrintSchedule, AProjectThatFailsItsChecksIsReportedNotPrinted)
{
    QTemporaryDir dir;
    const QString project = writeProject(dir, {QStringLiteral("03"), QStringLiteral("x")});
    const auto result = service::ScheduleCsv(project, QDate(2027, 1, 4), 7, QTimeZone::utc());
    ASSERT_TRUE(std::holds_alternative<ConfigError>(result));
    EXPECT_EQ(std::get<ConfigError>(result).file, project);
}

TEST(PrintSchedule, CommandLineTakesTheProjectAndTheDays)
{
    auto parsed =
        service::ParseCommandLine({QStringLiteral("--print-schedule"), QStringLiteral("--project"),
                                   QStringLiteral("/srv/tank.iom"), QStringLiteral("--from"),
                                   QStringLiteral("2027-01-04"), QStringLiteral("--days=3")});
    ASSERT_TRUE(std::holds_alternative<service::Options>(parsed));
    const auto& options = std::get<service::Options>(parsed);
    EXPECT_TRUE(options.printSchedule);
    EXPECT_EQ(options.boards.constFirst().project, QStringLiteral("/srv/tank.iom"));
    EXPECT_EQ(options.scheduleFrom, QDate(2027, 1, 4));
    EXPECT_EQ(options.scheduleDays, 3);
    EXPECT_FALSE(options.scheduleRecords);
    parsed =
        service::ParseCommandLine({QStringLiteral("--print-schedule"), QStringLiteral("--project"),
                                   QStringLiteral("a.iom"), QStringLiteral("--records")});
    ASSERT_TRUE(std::holds_alternative<service::Options>(parsed));
    EXPECT_TRUE(std::get<service::Options>(parsed).scheduleRecords);

    for (const QStringList& bad :
         {QStringList{QStringLiteral("--print-schedule")},
          QStringList{QStringLiteral("--print-schedule"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--days"), QStringLiteral("0")},
          QStringList{QStringLiteral("--print-schedule"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--from"),
                      QStringLiteral("4.1.2027")},
          QStringList{QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--days"), QStringLiteral("3")},
          QStringList{QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--records")}})
        EXPECT_TRUE(std::holds_alternative<ConfigError>(service::ParseCommandLine(bad)))
            << qPrintable(bad.join(QLatin1Char(' ')));
}

} // namespace

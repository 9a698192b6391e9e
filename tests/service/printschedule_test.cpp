// SPDX-License-Identifier: GPL-3.0-or-later
// --print-schedule: a project's timer records as CSV, without a board.
#include "common/daynumber.h"
#include "common/textlines.h"
#include "service/printschedule.h"
#include "timers/chantimer.h"

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

    const auto week = service::ScheduleCsv(project, QDate(2027, 1, 4), 7, QTimeZone::utc());
    ASSERT_TRUE(std::holds_alternative<QByteArray>(week));
    EXPECT_EQ(std::get<QByteArray>(week).toStdString(),
              QByteArray("relay,record,on,off,toggle_on_s,toggle_off_s\r\n"
                         "03,0,2027-01-05T06:00:00+00:00,2027-01-05T07:30:00+00:00,,\r\n"
                         "12,1,2027-01-09T22:00:00+00:00,2027-01-10T01:00:00+00:00,,\r\n")
                  .toStdString());

    // The second record's window runs past the end of the days asked: it
    // ends there.
    const auto late = service::ScheduleCsv(project, QDate(2027, 1, 9), 1, QTimeZone::utc());
    ASSERT_TRUE(std::holds_alternative<QByteArray>(late));
    EXPECT_EQ(std::get<QByteArray>(late).toStdString(),
              QByteArray("relay,record,on,off,toggle_on_s,toggle_off_s\r\n"
                         "12,1,2027-01-09T22:00:00+00:00,2027-01-10T00:00:00+00:00,,\r\n")
                  .toStdString());
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

    for (const QStringList& bad :
         {QStringList{QStringLiteral("--print-schedule")},
          QStringList{QStringLiteral("--print-schedule"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--days"), QStringLiteral("0")},
          QStringList{QStringLiteral("--print-schedule"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--from"),
                      QStringLiteral("4.1.2027")},
          QStringList{QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("--project"),
                      QStringLiteral("a.iom"), QStringLiteral("--days"), QStringLiteral("3")}})
        EXPECT_TRUE(std::holds_alternative<ConfigError>(service::ParseCommandLine(bad)))
            << qPrintable(bad.join(QLatin1Char(' ')));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The checks a project passes before the service runs it, each fault on
// the line it is on.
#include "common/daynumber.h"
#include "common/textlines.h"
#include "service/daemon.h"
#include "service/printschedule.h"
#include "service/projectcheck.h"
#include "timers/chantimer.h"

#include <QDateTime>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

using service::ConfigError;
using service::ProjectSummary;

class ProjectCheck : public ::testing::Test
{
protected:
    QString write(const QStringList& lines)
    {
        const QString path = dir.filePath(QStringLiteral("p%1.iom").arg(++count));
        WriteTextLines(path, lines);
        return path;
    }
    QStringList record(const QString& channel) const
    {
        const double now = DateTimeToDayNumber(QDateTime::currentDateTime());
        return chantimer::MakeRecord(channel, now - 1, now + 1, QStringLiteral("0"),
                                     QStringLiteral("0"), QStringLiteral("0000000"),
                                     QLatin1Char('.'));
    }
    QTemporaryDir dir;
    int count = 0;
};

TEST_F(ProjectCheck, SummarisesAGoodProject)
{
    const double now = DateTimeToDayNumber(QDateTime::currentDateTime());
    QStringList lines{QString::number(now - 1, 'f', 8), QString::number(now + 1, 'f', 8),
                      QStringLiteral("2"), QStringLiteral("[t]")};
    lines += record(QStringLiteral("01")) + record(QStringLiteral("16"));
    lines += {QStringLiteral("[r]"), QStringLiteral("1Hand3L=01H02L"), QString(),
              QStringLiteral("2H=16H")};
    const auto checked = service::CheckProject(write(lines));
    ASSERT_TRUE(std::holds_alternative<ProjectSummary>(checked))
        << std::get<ConfigError>(checked).text().toStdString();
    const ProjectSummary& summary = std::get<ProjectSummary>(checked);
    EXPECT_EQ(summary.timerRecords, 2);
    EXPECT_EQ(summary.rules, 2);
    EXPECT_TRUE(summary.logSchedule);
}

TEST_F(ProjectCheck, NamesTheLineOfEachFault)
{
    QStringList faultyRecord = record(QStringLiteral("01"));
    faultyRecord[chantimer::Channel] = QStringLiteral("17");
    QStringList eleven{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                       QStringLiteral("[t]"), QStringLiteral("[r]")};
    for (int i = 0; i < 11; ++i)
        eleven.append(QStringLiteral("1H=01H"));
    const struct
    {
        QStringList lines;
        int line;
        const char* problem;
    } cases[] = {
        {{QStringLiteral("0"), QStringLiteral("0")}, 3, "ends before the logger interval"},
        {{QStringLiteral("0"), QStringLiteral("x"), QStringLiteral("0"), QStringLiteral("[t]")},
         2,
         "'x' is not a number"},
        {{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("[T]")},
         4,
         "expected the line \"[t]\""},
        {QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                     QStringLiteral("[t]")} +
             record(QStringLiteral("01")).mid(0, 5),
         5, "cut short"},
        {QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                     QStringLiteral("[t]")} +
             record(QStringLiteral("02")) + faultyRecord,
         14, "Fatal error in time data."},
        {{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("[t]"),
          QStringLiteral("[r]"), QStringLiteral("1H=01H"), QStringLiteral("1H=01")},
         7,
         "rule '1H=01'"},
        {eleven, 16, "more than 10 rules"},
        // The logger's schedule, as a load in the program checks it.
        {{QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("[t]")},
         1,
         "Found errors in Log Time data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        const auto checked = service::CheckProject(write(c.lines));
        ASSERT_TRUE(std::holds_alternative<ConfigError>(checked));
        const ConfigError& error = std::get<ConfigError>(checked);
        EXPECT_EQ(error.line, c.line) << error.text().toStdString();
        EXPECT_TRUE(error.problem.contains(QString::fromUtf8(c.problem)))
            << error.problem.toStdString();
    }
    const auto missing = service::CheckProject(dir.filePath(QStringLiteral("none.iom")));
    ASSERT_TRUE(std::holds_alternative<ConfigError>(missing));
    EXPECT_TRUE(std::get<ConfigError>(missing).problem.contains(QStringLiteral("no such")));
}

// The example project of the package passes the service's checks and
// switches what it says: the pump every day, the lights and the alarm on
// weekdays only.
TEST(ExampleProject, PassesTheChecksAndSwitchesOnWeekdaysOnly)
{
    const QString example = QStringLiteral(V217_EXAMPLE_PROJECT);
    const auto checked = service::CheckProject(example);
    ASSERT_TRUE(std::holds_alternative<ProjectSummary>(checked))
        << std::get<ConfigError>(checked).text().toStdString();
    EXPECT_EQ(std::get<ProjectSummary>(checked).timerRecords, 14);
    EXPECT_EQ(std::get<ProjectSummary>(checked).rules, 0);
    EXPECT_FALSE(std::get<ProjectSummary>(checked).logSchedule);

    const auto pumpLines = [](const QString& day) {
        QByteArray lines;
        for (int k = 0; k < 12; ++k) {
            const QString hour =
                QStringLiteral("%1T%2").arg(day).arg(2 * k, 2, 10, QLatin1Char('0'));
            lines += QStringLiteral("01,%1,%2:00:00+00:00,%2:05:00+00:00,,\r\n")
                         .arg(k)
                         .arg(hour)
                         .toUtf8();
        }
        return lines;
    };
    const QByteArray header("relay,record,on,off,toggle_on_s,toggle_off_s\r\n");
    const auto saturday = service::ScheduleCsv(example, QDate(2027, 1, 9), 1, QTimeZone::utc(),
                                               service::ScheduleRows::Records);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(saturday));
    EXPECT_EQ(std::get<QByteArray>(saturday).toStdString(),
              (header + pumpLines(QStringLiteral("2027-01-09"))).toStdString());
    const auto monday = service::ScheduleCsv(example, QDate(2027, 1, 11), 1, QTimeZone::utc(),
                                             service::ScheduleRows::Records);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(monday));
    EXPECT_EQ(std::get<QByteArray>(monday).toStdString(),
              (header + pumpLines(QStringLiteral("2027-01-11")) +
               "02,12,2027-01-11T07:00:00+00:00,2027-01-11T19:00:00+00:00,,\r\n"
               "03,13,2027-01-11T18:55:00+00:00,2027-01-11T18:56:00+00:00,1,1\r\n")
                  .toStdString());

    // What the relays do agrees: only the pump on a Saturday.
    const auto relays = service::ScheduleCsv(example, QDate(2027, 1, 9), 1, QTimeZone::utc());
    ASSERT_TRUE(std::holds_alternative<QByteArray>(relays));
    const QList<QByteArray> rows = std::get<QByteArray>(relays).split('\n');
    ASSERT_EQ(rows.size(), 14);
    for (qsizetype i = 1; i < 13; ++i)
        EXPECT_TRUE(rows.at(i).startsWith("01,")) << rows.at(i).toStdString();
}

} // namespace

namespace {

// With the board's settings the check names what they warn of, and the
// project still passes.
TEST_F(ProjectCheck, WarnsOfWhatTheBoardsSettingsForbid)
{
    const auto daily = [](const QString& channel, double fromHour, double toHour) {
        return chantimer::MakeRecord(channel, 37257 + fromHour / 24, 37257 + toHour / 24,
                                     QStringLiteral("0"), QStringLiteral("0"),
                                     QStringLiteral("1111111"), QLatin1Char('.'));
    };
    QStringList lines{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                      QStringLiteral("[t]")};
    lines += daily(QStringLiteral("01"), 8, 9) + daily(QStringLiteral("02"), 8.5, 9.5);
    lines += {QStringLiteral("[r]"), QStringLiteral("4H=05H"), QStringLiteral("1H=01H02H")};
    const QString path = write(lines);

    safety::BoardSettings settings;
    settings.interlocks = {0x0003};
    settings.maxOn[1] = std::chrono::minutes(20);
    const auto checked = service::CheckProject(path, settings);
    ASSERT_TRUE(std::holds_alternative<ProjectSummary>(checked))
        << std::get<ConfigError>(checked).text().toStdString();
    const QStringList& warnings = std::get<ProjectSummary>(checked).warnings;
    ASSERT_EQ(warnings.size(), 9) << warnings.join(u'\n').toStdString();
    EXPECT_EQ(warnings.first().toStdString(),
              "rules: line 2: 1H=01H02H switches relays 01 and 02 of interlock group 01,02 on "
              "together");
    // Every day of the week from today, one after the other.
    const QDate today = QDate::currentDate();
    for (int day = 0; day < 7; ++day) {
        EXPECT_EQ(warnings.at(1 + day).toStdString(),
                  QStringLiteral("timer records: records 0 and 1 overlap on %1 08:30-09:00 in "
                                 "interlock group 01,02")
                      .arg(QLocale::c().toString(today.addDays(day), QStringLiteral("ddd")))
                      .toStdString());
    }
    EXPECT_EQ(warnings.last().toStdString(),
              "timer records: record 1 keeps relay 02 on for 1h, longer than its maximum "
              "on-time 20min");

    // The board's names alone, or no settings: nothing to warn of.
    safety::BoardSettings named;
    named.relayNames[0] = QStringLiteral("Pump");
    for (const auto& none : {safety::BoardSettings{}, named}) {
        const auto plain = service::CheckProject(path, none);
        ASSERT_TRUE(std::holds_alternative<ProjectSummary>(plain));
        EXPECT_TRUE(std::get<ProjectSummary>(plain).warnings.isEmpty());
    }
}

} // namespace

namespace {

// The service journals each warning of a board's project and starts.
TEST_F(ProjectCheck, TheServiceJournalsTheWarningsAndStillStarts)
{
    QStringList lines{QStringLiteral("0"),   QStringLiteral("0"),   QStringLiteral("0"),
                      QStringLiteral("[t]"), QStringLiteral("[r]"), QStringLiteral("1H=01H02H")};
    service::BoardConfig board;
    board.name = QStringLiteral("tank");
    board.port = QStringLiteral("3");
    board.project = write(lines);
    board.settings.interlocks = {0x0003};
    service::Options options;
    options.boards = {board};

    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    {
        service::Journal journal(false, out);
        service::Daemon daemon(options, journal);
        const std::optional<ConfigError> fault = daemon.prepare();
        EXPECT_FALSE(fault) << fault->text().toStdString();
    }
    std::fclose(out);
    const QByteArray text(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    EXPECT_EQ(text.toStdString(),
              QStringLiteral("tank: warning: %1: rules: line 1: 1H=01H02H switches relays 01 and "
                             "02 of interlock group 01,02 on together\n")
                  .arg(board.project)
                  .toStdString());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/loggerwindow.h"
#include "logtestrig.h"
#include "support/timezone.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Day numbers are wall time: a schedule whose ON or OFF falls in the hour the
// local clocks skip is shown, and written to the log, as it was entered.
namespace {

// The wall time as a UTC date-time, which has every wall time.
QDateTime wallTime(const SkippedWallTime& skipped, int addSecs = 0)
{
    return QDateTime(skipped.date, skipped.time, QTimeZone::utc()).addSecs(addSecs);
}

QString dateTimeText(const QDateTime& wall)
{
    return wall.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
}

} // namespace

TEST(LoggerUnderDaylightSaving, TheWindowShowsASkippedWallTime)
{
    for (const SkippedWallTime& skipped : skippedWallTimes()) {
        SCOPED_TRACE(skipped.zone.toStdString());
        const ScopedTimeZone zone(skipped.zone);
        ASSERT_TRUE(isSkipped(skipped));
        Rig rig;
        TLoggerFm window{rig.core.loggerForm(), rig.view, rig.clock};
        LoggerForm& form = rig.core.loggerForm();
        form.LoggerOnTime = DateTimeToDayNumber(wallTime(skipped));
        form.LoggerOffTime = DateTimeToDayNumber(wallTime(skipped, 3600));
        window.show();
        QStringList shown;
        for (const char* name : {"OnDayEdit", "OnMonthEdit", "OnYearEdit", "OnHourEdit",
                                 "OnMinuteEdit", "OnSecondEdit"})
            shown.append(window.findChild<QLineEdit*>(QString::fromLatin1(name))->text());
        window.hide();
        EXPECT_EQ(shown.join(QLatin1Char(' ')),
                  wallTime(skipped).toString(QStringLiteral("dd MM yyyy HH mm ss")));
        EXPECT_EQ(form.CheckTheLogData(), QStringLiteral("Error: Missing frequency"));
    }
}

// One run starts at a skipped wall time; another is due to end at one and
// ends when the clock jumps past it.
TEST(LoggerUnderDaylightSaving, TheLogFileShowsSkippedStartAndFinishTimes)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const SkippedWallTime& skipped : skippedWallTimes()) {
        SCOPED_TRACE(skipped.zone.toStdString());
        const ScopedTimeZone zone(skipped.zone);
        ASSERT_TRUE(isSkipped(skipped));
        struct Run
        {
            QDateTime on;
            QDateTime off;
            QDateTime clock; // local time, as the system clock gives it
        };
        const QDateTime lastBeforeGap(skipped.date, QTime(1, 59, 58));
        const QList<Run> runs{
            {wallTime(skipped), wallTime(skipped, 3600), QDateTime(skipped.date, QTime(3, 5))},
            {wallTime(skipped, -3600), wallTime(skipped), lastBeforeGap},
        };
        for (const Run& run : runs) {
            LogRig rig;
            rig.clock.set(run.clock);
            ASSERT_EQ(rig.confirmSchedule(run.on, run.off, "1.0"), QString());
            rig.activate();
            rig.core.InputLogSBClick();
            ASSERT_TRUE(rig.core.logger().LogOnTimer());
            for (int cycle = 0; cycle < 25 && rig.core.logger().LogOnTimer(); ++cycle)
                rig.timedCycles(1);
            rig.deactivate();

            const QString path = folder.filePath(QStringLiteral("run.txt"));
            rig.view.files.push_back(path);
            rig.core.run([&rig] { rig.core.LogSaveButtClick(); });
            const QStringList lines = readLines(path);
            ASSERT_GE(lines.size(), 4);
            EXPECT_EQ(lines.at(1), QStringLiteral("Log Start Time:  ") + dateTimeText(run.on));
            EXPECT_EQ(lines.at(lines.size() - 2),
                      QStringLiteral("Log Finish Time:  ") + dateTimeText(run.off));
        }
    }
}

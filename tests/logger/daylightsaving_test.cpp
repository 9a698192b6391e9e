// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtestrig.h"
#include "support/timezone.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Day numbers are wall time: a schedule whose ON or OFF falls in the hour the
// local clocks skip is written to the log as it was entered.
namespace {

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

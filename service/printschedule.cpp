// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/printschedule.h"

#include "common/textlines.h"
#include "project/projectfile.h"
#include "service/projectcheck.h"
#include "timers/schedule.h"

namespace service {

std::variant<QByteArray, ConfigError> ScheduleCsv(const QString& project, const QDate& from,
                                                  int days, const QTimeZone& zone,
                                                  ScheduleRows rows)
{
    const auto checked = CheckProject(project);
    if (const auto* error = std::get_if<ConfigError>(&checked))
        return *error;
    // The check has read the file and found it a project.
    const std::optional<ProjectContents> contents = ParseProjectLines(ReadTextLines(project));
    const schedule::Schedule result =
        schedule::ComputeSchedule(contents->TimerList, schedule::DaySpan(from, days, zone));
    if (result.faultyRecord >= 0)
        return ConfigError{
            project, 0,
            QStringLiteral("timer record %1: %2").arg(result.faultyRecord).arg(result.error)};
    return rows == ScheduleRows::Records ? schedule::ToCsv(result.intervals, zone)
                                         : schedule::RelaysToCsv(result.relays, zone);
}

} // namespace service

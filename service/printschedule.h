// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/serviceconfig.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTimeZone>

#include <variant>

// --print-schedule: what the timer records of a project will switch over a
// number of days, worked out without a board, as CSV: by default what each
// relay does (relay, on, off in ISO 8601 local time with the UTC offset, the
// records that switched it), where records that overlap on a relay give way
// to the later switch as the timer engine decides; with --records the
// records' own windows (relay, record, on, off, toggle phases in seconds).
// The project must pass the checks the service applies before it runs one.
namespace service {

enum class ScheduleRows
{
    Relays,
    Records
};

[[nodiscard]] std::variant<QByteArray, ConfigError>
ScheduleCsv(const QString& project, const QDate& from, int days,
            const QTimeZone& zone = QTimeZone::systemTimeZone(),
            ScheduleRows rows = ScheduleRows::Relays);

} // namespace service

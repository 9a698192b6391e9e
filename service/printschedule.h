// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/serviceconfig.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTimeZone>

#include <variant>

// --print-schedule: what the timer records of a project will switch over a
// number of days, worked out without a board, as CSV (relay, record, on,
// off in ISO 8601 local time with the UTC offset, toggle phases in seconds).
// The project must pass the checks the service applies before it runs one.
namespace service {

[[nodiscard]] std::variant<QByteArray, ConfigError>
ScheduleCsv(const QString& project, const QDate& from, int days,
            const QTimeZone& zone = QTimeZone::systemTimeZone());

} // namespace service

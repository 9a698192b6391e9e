// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/serviceconfig.h"

#include <QString>

#include <variant>

// The checks a project must pass before the service runs it: the file is a
// project (three numbers, then "[t]"), its timer records are whole and run,
// and it passes every check the program applies on a load (the rules
// checker, the logger schedule). A fault names the line it is on.
namespace service {

struct ProjectSummary
{
    int timerRecords = 0;
    int rules = 0;
    // The project holds a logger schedule (an interval above zero).
    bool logSchedule = false;
};

[[nodiscard]] std::variant<ProjectSummary, ConfigError> CheckProject(const QString& path);

} // namespace service

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"
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
    // What the board's settings say about the project, one journal line
    // each: "rules: line 3: 1H=01H02H switches relays 01 and 02 of
    // interlock group 01,02 on together", "timer records: records 3 and 7
    // overlap on Tue 08:00-09:00 in interlock group 01,02" (the week from
    // today). They never stop the board: the controller holds the relays
    // apart and cuts them off at run time whatever the project asks.
    QStringList warnings;
};

// `settings`: the board's; none give no warnings.
[[nodiscard]] std::variant<ProjectSummary, ConfigError>
CheckProject(const QString& path, const safety::BoardSettings& settings = {});

} // namespace service

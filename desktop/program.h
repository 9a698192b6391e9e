// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/clock.h"
#include "common/regional.h"
#include "desktop/desktop.h"
#include "serial/Serial2.h"

// The running program: the system clock, the regional formats read once from
// the user's settings, the board link and the desktop front end over them. The serial component is
// declared before the desktop so the port closes after the windows have gone.
class Program
{
public:
    Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    SystemClock clock;
    const Regional regional = Regional::fromSystem();
    TSerial Serial1;
    Desktop desktop;
};

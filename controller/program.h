#pragma once

#include "common/clock.h"
#include "controller/desktop.h"
#include "serial/Serial2.h"

// The running program: the system clock, the board link and the desktop
// front end over them. The serial component is declared before the desktop
// so the port closes after the windows have gone.
class Program
{
public:
    Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    SystemClock clock;
    TSerial Serial1;
    Desktop desktop;
};

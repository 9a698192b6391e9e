#pragma once

#include "board/portwindow.h"
#include "common/clock.h"
#include "common/regional.h"
#include "controller/relaywindow.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "rules/ruleswindow.h"
#include "serial/Serial2.h"
#include "timers/chanwindow.h"

// The running program: the clock, the regional formats read once from the
// user's settings, the board link and the six windows, created in their
// order (the main window first, then the port dialog, the rules editor, the
// timer editor, the logger window and the help window).
// The serial component is declared before the windows so the port closes
// after the windows have gone.
class Program
{
public:
    Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    SystemClock clock;
    const Regional regional = Regional::fromSystem();
    TSerial Serial1;
    TIOmodFM mainWindow;
    TPortFm portFm;
    TRulesFm rulesFm;
    TChanFm chanFm;
    TLoggerFm loggerFm;
    THelpFm helpFm;
};

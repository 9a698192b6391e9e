#include "controller/desktop.h"

Desktop::Desktop(SerialLink& serial, const Clock& clock, const Regional& regional)
    : core(mainWindow, serial, clock, regional),
      mainWindow(core, {portFm, rulesFm, chanFm, loggerFm, helpFm}),
      portFm(mainWindow, &mainWindow), rulesFm(core.rulesForm(), mainWindow, &mainWindow),
      chanFm(core.chanForm(), mainWindow, &mainWindow),
      loggerFm(core.loggerForm(), mainWindow, clock, &mainWindow), helpFm(&mainWindow)
{
}

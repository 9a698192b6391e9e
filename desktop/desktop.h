// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/deviceswindow.h"
#include "board/portwindow.h"
#include "controller/relay.h"
#include "controller/relaywindow.h"
#include "desktop/boardconf.h"
#include "desktop/boardwindow.h"
#include "desktop/desktopmqtt.h"
#include "desktop/mqttwindow.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "logger/signaltrace.h"
#include "logger/tracewindow.h"
#include "rules/ruleswindow.h"
#include "serial/serialdevices.h"
#include "timers/chanwindow.h"
#include "timers/timelinewindow.h"

class Clock;
class SerialLink;
struct Regional;

// The desktop front end over one board link, one clock and the regional
// formats: the controller
// and the six windows around it, created in their order (the main window,
// the port dialog, the rules editor, the timer editor, the logger window and
// the help window). The controller shows everything through the main window,
// which opens the other five; each editor works on its part's form.
//
// The controller and the main window are given each other and the five
// windows by reference before those exist; neither touches them before the
// first tick, which comes once the message loop runs. The View menu's
// windows come after them and read the controller's parts through the feeds
// built here, and so does the Port menu's Devices window. Then come MQTT,
// which observes the poll cycle after the trace, and its window in the Port
// menu. Last comes board.conf, whose settings go to the controller, the main
// window and the trace once all of them exist, with its window in the Port
// menu.
class Desktop
{
public:
    Desktop(SerialLink& serial, const Clock& clock, const Regional& regional);
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    Controller core;
    TIOmodFM mainWindow;
    TPortFm portFm;
    TRulesFm rulesFm;
    TChanFm chanFm;
    TLoggerFm loggerFm;
    THelpFm helpFm;
    // The windows of the View menu, which only look at the parts.
    TimelineWindow timelineWindow;
    // Every read and echo of the poll cycle, for the trace window.
    SignalTrace trace;
    TraceWindow traceWindow;
    // The machine's serial devices and the links of the port folder, for
    // the Port menu's Devices window.
    SerialDevices devices;
    DevicesWindow devicesWindow;
    // MQTT, off until the user turns it on in the Port menu's window.
    network::DesktopMqtt mqtt;
    MqttWindow mqttWindow;
    // The board's names and safety settings, none until board.conf gives
    // them.
    DesktopBoard board;
    BoardWindow boardWindow;

private:
    void applyBoardSettings(const safety::BoardSettings& settings);
    [[nodiscard]] TimelineFeed timelineFeed();
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/desktop.h"

#include "common/clock.h"
#include "common/folders.h"
#include "rules/rules.h"
#include "timers/chantimer.h"

namespace {

// The survey reads the machine's own devices.
const QString kSystemRoot = QStringLiteral("/");

} // namespace

Desktop::Desktop(SerialLink& serial, const Clock& clock, const Regional& regional)
    : core(mainWindow, serial, clock, regional),
      mainWindow(core, {portFm, rulesFm, chanFm, loggerFm, helpFm}),
      portFm(mainWindow, &mainWindow), rulesFm(core.rulesForm(), mainWindow, &mainWindow),
      chanFm(core.chanForm(), mainWindow, &mainWindow),
      loggerFm(core.loggerForm(), mainWindow, clock, &mainWindow), helpFm(&mainWindow),
      timelineWindow(timelineFeed(), clock, &mainWindow), traceWindow(trace, clock, &mainWindow),
      devices(kSystemRoot, PortFolder()),
      devicesWindow(devices, kSystemRoot, core.port(), core.poll(), serial, mainWindow,
                    &mainWindow),
      mqtt(
          core.poll(),
          [this](quint16 word, quint16 mask) {
              core.requestRelays(word, mask, Controller::Source::Mqtt);
          },
          mainWindow, clock, network::MqttSettingsFile(), [this] { return !core.FirstTick; }),
      mqttWindow(mqtt, mainWindow, &mainWindow),
      board(
          BoardSettingsFile(),
          [this](const safety::BoardSettings& settings) { applyBoardSettings(settings); },
          mainWindow, [this] { return !core.FirstTick; }),
      boardWindow(board, mainWindow, &mainWindow)
{
    mainWindow.addPortWindow(QStringLiteral("&Devices\u2026"), QStringLiteral("Devices1"),
                             devicesWindow);
    mainWindow.addViewWindow(QStringLiteral("&Timeline\u2026"), QStringLiteral("Timeline1"),
                             timelineWindow);
    mainWindow.addViewWindow(QStringLiteral("T&race\u2026"), QStringLiteral("Trace1"), traceWindow);
    mainWindow.addPortWindow(QStringLiteral("&Board\u2026"), QStringLiteral("Board1"), boardWindow);
    mainWindow.addPortWindow(QStringLiteral("&MQTT\u2026"), QStringLiteral("Mqtt1"), mqttWindow);
    // The trace records what the cycle saw whether its window is open or
    // not, so that it shows the last hour when it opens. It subscribes
    // before MQTT loads, so the link, which subscribes as it is made, is
    // told after it.
    core.poll().subscribe(
        [this, &clock](board::PollCycle::Observation what, int portIn, int portOut) {
            using Observation = board::PollCycle::Observation;
            const qint64 now = clock.now().toMSecsSinceEpoch();
            switch (what) {
            case Observation::InputRead:
                trace.addInputs(now, portIn);
                break;
            case Observation::RelayEcho:
                trace.addRelays(now, portOut);
                break;
            case Observation::Watchdog:
                trace.addFault(now, SignalTrace::Kind::Watchdog);
                break;
            case Observation::InvalidData:
                trace.addFault(now, SignalTrace::Kind::InvalidData);
                break;
            }
        });
    mainWindow.setMessageObserver([this](const QString& text) { mqtt.messageShown(text); });
    mqtt.load();
    // Before the first tick, so the first relay write already keeps them.
    board.load();
}

void Desktop::applyBoardSettings(const safety::BoardSettings& settings)
{
    core.setBoardSettings(settings);
    mqtt.setBoardSettings(settings);
    rulesFm.setBoardSettings(settings);
    chanFm.setBoardSettings(settings);
    timelineWindow.setBoardSettings(settings);
    mainWindow.showBoardNames(settings);
    QStringList inputs;
    QStringList relays;
    for (const QString& name : settings.inputNames)
        inputs.append(name);
    for (const QString& name : settings.relayNames)
        relays.append(name);
    traceWindow.strip().setNames(inputs, relays);
}

TimelineFeed Desktop::timelineFeed()
{
    TimelineFeed feed;
    // While the editor is open its working copy is what is being edited;
    // otherwise the records as last edited.
    feed.editedRecords = [this] {
        const ChanForm& form = core.chanForm();
        return form.Timer1Enabled ? form.EditList : core.timers().TimerList();
    };
    feed.runningRecords = [this] { return core.timers().ActiveTimerList(); };
    feed.systemRunning = [this] { return core.poll().SystemActive() && core.timers().TimersOn(); };
    feed.ruleRelays = [this] { return rules::DrivenRelays(core.rules().RulesList()); };
    // The record numbers are those of the records as edited, which the
    // editor opens on.
    feed.openRecord = [this](int record) {
        ChanForm& form = core.chanForm();
        form.RecIndex = record * chantimer::kRecordLines;
        form.RecNumLabel = QString::number(record);
        core.run([this] { core.OutEditButtClick(); });
    };
    return feed;
}

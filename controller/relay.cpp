// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/relay.h"

#include "common/clock.h"
#include "common/conversions.h"
#include "common/regional.h"
#include "common/seriallink.h"
#include "rules/rules.h"

Controller::Controller(View& view, SerialLink& serial, const Clock& clock, const Regional& regional)
    : m_view(view), m_serial(serial), m_clock(clock), m_regional(regional)
{
    m_serial.setRxHandler([this] { run([this] { Serial1RxData(); }); });
    m_serial.setHangUpHandler([this] { run([this] { Serial1HangUp(); }); });
    m_poll.setRelayWordHook([this] {
        if (m_timers.TimersOn() && ExecutePortTimerList() == -1)
            return false;
        releaseRelays();
        return true;
    });
    m_poll.setInputWordHook([this](int read) { return m_debounce.take(read); });
    m_poll.setInputReadHook([this](int portIn) {
        if (m_rules.RulesOn())
            ModifyOutputFromRulesBase();
        LogTheData(portIn, m_poll.PortOut());
    });
    m_poll.setResetHook([this] {
        m_guard.boardReset(m_poll.tickClock().now());
        m_debounce.restart();
        DeactivateLogging();
    });
}

void Controller::Timer1Timer()
{
    if (FirstTick) {
        startUp();
        return;
    }
    if (!m_view.editorWindowVisible())
        m_view.setStatusText(View::Panel::Clock, LongTimeText(m_clock.now().time(), m_regional));
    m_poll.sendingStep();
}

// The work of the first tick: it comes only once the message loop runs, so
// all six windows exist when the last-run file loads a project into them.
void Controller::startUp()
{
    resetForStart();
    m_project.readLastRunFile();
    SetButtonState.fill(false);
    m_log.switchOff();
    m_rules.switchOff();
    PortSet = 0;
    m_project.setChangeCount(0);
    // A port of the last-run file that would not open leaves its reason in
    // the panel instead.
    const QString& portFailure = m_port.failure();
    m_view.setStatusText(View::Panel::Message,
                         portFailure.isEmpty() ? QStringLiteral("Ready") : portFailure);
    // Last: a failed save of the interrupted run must not cut the start-up
    // short.
    m_log.offerInterruptedLog();
}

void Controller::StartUnattended()
{
    resetForStart();
    SetButtonState.fill(false);
    m_log.switchOff();
    m_rules.switchOff();
    PortSet = 0;
    m_project.setChangeCount(0);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
}

void Controller::resetForStart()
{
    ResetSerial();
    FirstTick = false;
    m_view.setCaption(kCaption);
    m_project.setProjectFileName({});
    m_log.clearTimes();
}

void Controller::ActiveButtClick()
{
    if (m_poll.SystemActive()) {
        m_poll.requestClose();
        return;
    }
    // A port whose device hung up is opened again first, so a board that was
    // plugged back in runs without its port being chosen again; a failed open
    // has shown the port problem, and the system stays idle.
    if (m_serial.HungUp() && !m_port.reopen())
        return;
    // First, so what the board sent before (its prompt) is judged while still
    // idle and "System opened" is the last word.
    m_poll.activate();
    m_view.setLamp(View::Lamp::Activate, true);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("System opened"));
    m_timers.startRun();
}

void Controller::ResetSerial()
{
    m_poll.ResetSerial();
}

void Controller::Serial1RxData()
{
    m_poll.Serial1RxData();
}

void Controller::Exit2Click()
{
    m_view.requestClose();
}

void Controller::StatusBar1DblClick()
{
    Set1Click();
}

void Controller::Contents1Click()
{
    m_view.showHelp();
}

void Controller::Set1Click()
{
    m_port.choose();
}

void Controller::OpenSerialPort(const QString& text)
{
    m_port.open(text);
}

void Controller::Serial1HangUp()
{
    m_port.hungUp();
}

void Controller::requestRelays(quint16 word, quint16 mask, Source source)
{
    const auto before = static_cast<quint16>(m_poll.PortOut());
    auto stored = static_cast<quint16>((before & ~mask) | (word & mask));
    if (m_relayRequest)
        m_relayRequest(source, mask, stored);
    // The rules ask for the relays they drive on every input read.
    const safety::RelayGuard::Ask ask = source == Source::Rules
                                            ? safety::RelayGuard::Ask::EveryCycle
                                            : safety::RelayGuard::Ask::Once;
    m_poll.setPortOut(m_guard.admit(ask, static_cast<quint16>(mask | (stored ^ before)), before,
                                    stored, m_poll.tickClock().now()));
    // Set All says itself which relay of each group it switched on.
    if (source != Source::SetAll)
        tellHeldRelays();
}

void Controller::setBoardSettings(const safety::BoardSettings& settings)
{
    m_guard.setSettings(settings);
    m_debounce.setCounts(settings.debounce);
}

void Controller::releaseRelays()
{
    m_poll.setPortOut(
        m_guard.release(static_cast<quint16>(m_poll.PortOut()), m_poll.tickClock().now()));
    tellHeldRelays();
}

void Controller::tellHeldRelays()
{
    if (!m_guard.reports().isEmpty())
        m_view.setStatusText(View::Panel::Message, m_guard.reports().join(QStringLiteral("; ")));
}

QString Controller::allRelaysOnText() const
{
    const QList<quint16>& groups = m_guard.settings().interlocks;
    if (groups.isEmpty())
        return QStringLiteral("All Relays ON");
    QStringList kept;
    const int on = m_poll.PortOut() | m_guard.waiting();
    for (const quint16 group : groups)
        for (int relay = 0; relay < safety::kRelays; ++relay)
            if (group & on & (1 << relay))
                kept.append(m_guard.settings().relayLabel(relay));
    return QStringLiteral("All Relays ON, one per interlock group: %1")
        .arg(kept.join(QStringLiteral(", ")));
}

int Controller::ExecutePortTimerList()
{
    const int before = m_poll.PortOut();
    int word = before;
    const int result = m_timers.ExecutePortTimerList(word);
    // A pass sets only the relays whose window opened or closed or whose
    // toggle phase ended; they are those it changed.
    if (result != -1)
        requestRelays(static_cast<quint16>(word), static_cast<quint16>(word ^ before),
                      Source::Timers);
    return result;
}

void Controller::ModifyOutputFromRulesBase()
{
    // A relay a rule names gets the rule's condition, whatever it held.
    requestRelays(
        static_cast<quint16>(m_rules.ModifyOutputFromRulesBase(m_poll.PortIn(), m_poll.PortOut())),
        static_cast<quint16>(rules::DrivenRelays(m_rules.RulesList())), Source::Rules);
}

void Controller::TimerSBClick()
{
    m_timers.TimerSBClick();
}

void Controller::OutEditButtClick()
{
    if (m_timers.OutEditButtClick())
        m_project.noteChange();
}

void Controller::InputRulesSBClick()
{
    m_rules.InputRulesSBClick();
}

void Controller::RulesEditButtClick()
{
    if (m_poll.SystemActive())
        return;
    if (m_rules.RulesEditButtClick())
        m_project.noteChange();
}

void Controller::InputLogSBClick()
{
    m_log.InputLogSBClick();
}

void Controller::InputNowSBClick()
{
    m_log.InputNowSBClick();
}

void Controller::InitiateLogging(LogRun run)
{
    m_log.InitiateLogging(run);
}

void Controller::DeactivateLogging()
{
    m_log.DeactivateLogging();
}

void Controller::LogTheData(int portIn, int portOut)
{
    m_log.LogTheData(portIn, portOut);
}

void Controller::LogSaveButtClick()
{
    m_log.LogSaveButtClick();
}

void Controller::LogEditButtClick()
{
    if (m_poll.SystemActive())
        return;
    if (m_log.LogEditButtClick())
        m_project.noteChange();
}

void Controller::SaveLogStep()
{
    m_log.SaveLogStep();
}

void Controller::SpeedButton1Click(int tag)
{
    if (!m_poll.SystemActive() || tag < 0 || tag > 15)
        return;
    const int bit = 1 << tag;
    SetButtonState[tag] = !SetButtonState[tag];
    if (SetButtonState[tag])
        PortSet |= bit;
    else
        PortSet &= ~bit & 0xFFFF;
    m_view.setSetButton(tag, SetButtonState[tag]);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Modified relay data"));
}

void Controller::WriteButtClick()
{
    if (!m_poll.SystemActive())
        return;
    // First, so a relay the request holds off has the last word.
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Write relay data"));
    requestRelays(static_cast<quint16>(PortSet), 0xFFFF, Source::Manual);
}

void Controller::SetAllButtClick()
{
    if (!m_poll.SystemActive())
        return;
    requestRelays(0xFFFF, 0xFFFF, Source::SetAll);
    m_view.setStatusText(View::Panel::Message, allRelaysOnText());
}

void Controller::ClearAllButtClick()
{
    if (!m_poll.SystemActive())
        return;
    requestRelays(0, 0xFFFF, Source::ClearAll);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("All relays OFF"));
}

void Controller::SetAllButtMouseDown()
{
    m_view.setLamp(View::Lamp::SetAll, true);
}

void Controller::SetAllButtMouseUp()
{
    m_view.setLamp(View::Lamp::SetAll, false);
}

void Controller::ClearAllButtMouseDown()
{
    m_view.setLamp(View::Lamp::ClearAll, true);
}

void Controller::ClearAllButtMouseUp()
{
    m_view.setLamp(View::Lamp::ClearAll, false);
}

void Controller::UpdatePortInIndicators()
{
    m_poll.UpdatePortInIndicators();
}

ProjectParts Controller::projectParts()
{
    ProjectParts parts;
    parts.contents = [this] {
        ProjectContents contents;
        contents.LogOnTime = m_log.LogOnTime();
        contents.LogOffTime = m_log.LogOffTime();
        contents.LogFrequency = m_log.LogFrequency();
        contents.TimerList = m_timers.TimerList();
        contents.RulesList = m_rules.RulesList();
        return contents;
    };
    parts.clearLists = [this] {
        m_rules.setRulesList({});
        m_timers.clearLists();
    };
    parts.setLists = [this](const QStringList& timers, const QStringList& rules) {
        m_timers.setTimerList(timers);
        m_rules.setRulesList(rules);
    };
    parts.loadTimes = [this](double onTime, double offTime, double frequency) {
        m_log.loadTimes(onTime, offTime, frequency);
    };
    parts.checkLoadedRules = [this] { m_rules.checkLoadedRules(); };
    parts.logCloseQuery = [this] { return m_log.closeQuery(); };
    parts.openSerialPort = [this](const QString& text) { OpenSerialPort(text); };
    return parts;
}

void Controller::Save1Click()
{
    m_project.Save1Click();
}

void Controller::Load1Click()
{
    m_project.Load1Click();
}

void Controller::OpenTheProjectFile(const QString& path)
{
    m_project.OpenTheProjectFile(path);
}

void Controller::FormCloseQuery(bool& canClose)
{
    m_project.FormCloseQuery(canClose);
}

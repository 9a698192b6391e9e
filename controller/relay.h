// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/pollcycle.h"
#include "board/portselection.h"
#include "common/view.h"
#include "logger/logrecorder.h"
#include "project/projectdocument.h"
#include "rules/rulesswitch.h"
#include "safety/boardsettings.h"
#include "safety/inputdebounce.h"
#include "safety/relayguard.h"
#include "timers/timerswitch.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>

class Clock;
class SerialLink;
struct Regional;

// The controller: the state and every handler of the main window, without the
// widgets. The main window turns clicks into these calls and shows what the
// controller tells its View. Everything here runs on the user-interface
// thread; the serial component hands its receive notification over to it.
//
// The poll cycle (board::PollCycle), the port (board::PortSelection), the
// timers (TimerSwitch), the input rules (RulesSwitch), the input logger
// (LogRecorder) and the project file (ProjectDocument) are parts of their own
// that the controller holds; its handlers hand the click on to them. The poll
// cycle asks the controller for the timers' step before each relay write and
// for the rules' and the logger's step after an input read. Every change of
// the relay word, whatever its source, passes requestRelays. The regional formats it is given
// go to every part that formats times, dates or numbers; the owner keeps
// them alive.
class Controller
{
public:
    static constexpr std::chrono::milliseconds kTickPeriod = board::PollCycle::kTickPeriod;
    // Ticks without a receive notification before the board counts as silent.
    static constexpr int kWatchdogTicks = board::PollCycle::kWatchdogTicks;
    static inline const QString kTitle = QStringLiteral("QMX V217");
    static inline const QString kCaption = QStringLiteral("QMX V217 v140703");

    Controller(View& view, SerialLink& serial, const Clock& clock, const Regional& regional);
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Runs a handler; a failure it does not catch itself ends it and shows the
    // failure box captioned "QMX V217". The program then goes on.
    template <typename Handler> void run(Handler&& handler)
    {
        runHandler(m_view, std::forward<Handler>(handler));
    }

    // --- start-up, tick, activation (controller/relay.cpp) ---
    void Timer1Timer();
    // The first tick's work for a front end that names its port and project
    // itself: no last-run file is read and no interrupted log run offered.
    // The ticks after it run the poll cycle.
    void StartUnattended();
    void ActiveButtClick();
    void ResetSerial();
    void Exit2Click();
    void StatusBar1DblClick();
    void Contents1Click();

    // --- poll cycle (board::PollCycle) ---
    void Serial1RxData();

    // --- port selection (board::PortSelection) ---
    void Set1Click();
    void OpenSerialPort(const QString& text);
    // The serial component saw the device hang up.
    void Serial1HangUp();

    // --- manual relay control and indicators (controller/relay.cpp) ---
    void SpeedButton1Click(int tag);
    void WriteButtClick();
    void SetAllButtClick();
    void ClearAllButtClick();
    void SetAllButtMouseDown();
    void SetAllButtMouseUp();
    void ClearAllButtMouseDown();
    void ClearAllButtMouseUp();
    void UpdatePortInIndicators();

    // --- the relay word (controller/relay.cpp) ---
    // Where a change of the relay word comes from.
    enum class Source
    {
        // The WRITE button, with the word of the relay buttons.
        Manual,
        SetAll,
        ClearAll,
        Timers,
        Rules,
        Mqtt,
        // The web panel's switches and its HTTP API.
        Web,
        // What a front end sets itself: the word a re-activation gives
        // back, the start state.
        Service
    };
    // Sees every request before its word is stored: the source, the relays
    // it sets and the word that would be stored; it may change that word.
    using RelayRequestHook = std::function<void(Source source, quint16 mask, quint16& word)>;
    // The one writer of PortOut: the relays of mask take their bits from
    // word, the others keep theirs. Stored at once; the next relay write
    // sends it. Whether the system runs is the caller's to check.
    void requestRelays(quint16 word, quint16 mask, Source source);
    void setRelayRequestHook(RelayRequestHook hook) { m_relayRequest = std::move(hook); }
    // The board's wiring: names, interlock groups, maximum on-times and
    // debounce. Every request is held to them from now on (safety::RelayGuard
    // has the rules), and what is held back is told in the message panel.
    // None set: the relays and inputs go as requested and read.
    void setBoardSettings(const safety::BoardSettings& settings);
    [[nodiscard]] const safety::BoardSettings& boardSettings() const { return m_guard.settings(); }

    // --- relay timers and input rules (controller/relay.cpp) ---
    // The timer pass of the relay-write tick: the relays it switched are
    // requested, the last step before the command is built.
    [[nodiscard]] int ExecutePortTimerList();
    // The rules' step after an input read: the relays they drive, from
    // PortIn.
    void ModifyOutputFromRulesBase();
    void TimerSBClick();
    void OutEditButtClick();
    void InputRulesSBClick();
    void RulesEditButtClick();

    // --- input logger (controller/relay.cpp) ---
    void InputLogSBClick();
    void InputNowSBClick();
    void InitiateLogging(LogRun run);
    void DeactivateLogging();
    // The logger's capture after an input read.
    void LogTheData(int portIn, int portOut);
    void LogSaveButtClick();
    void LogEditButtClick();
    // The log save step: the save dialog, then the write that empties LogList.
    void SaveLogStep();

    // --- project file and last-run file (controller/relay.cpp) ---
    void Save1Click();
    void Load1Click();
    void OpenTheProjectFile(const QString& path);
    void FormCloseQuery(bool& canClose);
    // Where the close query writes the last-run file and start-up looks for it.
    [[nodiscard]] LastRunFolders& lastRunFolders() { return m_project.lastRunFolders(); }
    // The safety copy of the log run's lines.
    [[nodiscard]] LogRecovery& logRecovery() { return m_log.logRecovery(); }

    [[nodiscard]] board::PollCycle& poll() { return m_poll; }
    // The port, for a window that opens one as Port -> Set does.
    [[nodiscard]] board::PortSelection& port() { return m_port; }
    [[nodiscard]] const board::PollCycle& poll() const { return m_poll; }
    [[nodiscard]] TimerSwitch& timers() { return m_timers; }
    [[nodiscard]] const TimerSwitch& timers() const { return m_timers; }
    [[nodiscard]] RulesSwitch& rules() { return m_rules; }
    [[nodiscard]] const RulesSwitch& rules() const { return m_rules; }
    [[nodiscard]] ChanForm& chanForm() { return m_timers.chanForm(); }
    [[nodiscard]] RulesForm& rulesForm() { return m_rules.rulesForm(); }
    [[nodiscard]] LogRecorder& logger() { return m_log; }
    [[nodiscard]] const LogRecorder& logger() const { return m_log; }
    [[nodiscard]] LoggerForm& loggerForm() { return m_log.loggerForm(); }
    [[nodiscard]] ProjectDocument& project() { return m_project; }
    [[nodiscard]] const ProjectDocument& project() const { return m_project; }
    [[nodiscard]] View& view() { return m_view; }
    [[nodiscard]] SerialLink& serial() { return m_serial; }
    [[nodiscard]] const Clock& clock() const { return m_clock; }

    // The relays the WRITE button sends: bit n is relay n+1.
    int PortSet = 0;
    std::array<bool, 16> SetButtonState{};

    bool FirstTick = true;

private:
    void startUp();
    // The last step before the relay command is built: the guard's release.
    void releaseRelays();
    void tellHeldRelays();
    [[nodiscard]] QString allRelaysOnText() const;
    void resetForStart();
    [[nodiscard]] ProjectParts projectParts();

    View& m_view;
    SerialLink& m_serial;
    const Clock& m_clock;
    const Regional& m_regional;
    RelayRequestHook m_relayRequest;
    safety::RelayGuard m_guard;
    safety::InputDebounce m_debounce;
    board::PollCycle m_poll{m_view, m_serial};
    board::PortSelection m_port{m_view, m_serial};
    TimerSwitch m_timers{m_view, m_clock, m_regional};
    RulesSwitch m_rules{m_view};
    LogRecorder m_log{m_view, m_clock, m_regional, [this] { return m_poll.SystemActive(); }};
    ProjectDocument m_project{m_view, m_serial, m_regional, kCaption, projectParts()};
};

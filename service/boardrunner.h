// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/clock.h"
#include "common/regional.h"
#include "controller/relay.h"
#include "network/boardlink.h"
#include "serial/Serial2.h"
#include "service/backoff.h"
#include "service/devicewatch.h"
#include "service/headlessview.h"
#include "service/logfile.h"
#include "service/serviceconfig.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

// One board of the service: its own serial component, clock, controller and
// 100 ms tick, and what the desktop program leaves to the user: opening the
// port, activating, and bringing the board back after a fault.
namespace service {

class BoardRunner : public QObject
{
public:
    enum class State
    {
        // Waiting for the next attempt to open and activate.
        Retrying,
        // The device is gone; its folder is watched.
        WaitingForDevice,
        // Just opened: what the board sends as it comes up is let in.
        Settling,
        // Active, the poll cycle runs.
        Running,
        // The timer data is faulty: idle until a reload.
        Halted,
        // Stopping: the all-off command is out, its echo awaited.
        Closing,
        Stopped
    };

    // Ticks between opening the device and activating.
    static constexpr int kSettleTicks = 2;
    // How long a stop waits for the echo of the all-off command, and how
    // long without it before the command goes out again (a garbled echo
    // leaves nothing more to wait for).
    static constexpr std::chrono::milliseconds kStopWait{1000};
    static constexpr std::chrono::milliseconds kStopResend{250};

    // stateFolder: where the board's log file goes by default and where its
    // log safety copy is kept.
    BoardRunner(BoardConfig config, Journal& journal, const QString& stateFolder,
                QObject* parent = nullptr);
    ~BoardRunner() override;

    // Loads the (checked) project, switches TIMERS and INPUT RULES, and
    // makes the first attempt.
    void start();
    // New settings for the board on the same port (the caller replaces a
    // board whose port changed), with a project that has passed its checks:
    // the new project runs from now on.
    void reload(const BoardConfig& config);
    // SIGHUP: the log file is opened again at its path, after a rotation.
    void reopenLogFile();
    // SIGTERM, or the board leaves the configuration. With stop-state off,
    // whatever the board is doing (running, silent, waiting for its next
    // activation), an open port gets the all-off command and up to kStopWait
    // for its echo. onStopped runs once the board is stopped, with false
    // when its relays may still be on: no echo came, or a port that cannot
    // be written holds a word with relays on. That case is in the journal.
    void stop(std::function<void(bool relaysOff)> onStopped);

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] const BoardConfig& config() const { return m_config; }
    [[nodiscard]] Controller& controller() { return m_controller; }
    [[nodiscard]] HeadlessView& view() { return m_view; }
    // Nothing without MQTT, else whether the link is connected.
    [[nodiscard]] std::optional<bool> mqttConnected() const
    {
        return m_mqtt ? std::optional<bool>(m_mqtt->connected()) : std::nullopt;
    }
    // How often the device has been opened (or tried).
    [[nodiscard]] int openAttempts() const { return m_openAttempts; }
    // The board leaves the configuration: its Home Assistant entities go.
    void withdrawDiscovery();

private:
    void tick();
    void attempt();
    void activate();
    void observe(board::PollCycle::Observation what);
    void scheduleRetry();
    void sendAllOff();
    void takeAllOffEcho();
    void finishStop(bool relaysOff);
    void waitForDevice(const QString& path);
    void loadProject();
    void applySwitches();
    void startLogRunWhenDue();
    void startMqtt();
    void setState(State state);
    void log(Level level, const QString& text);
    // The relay word of the first relay write after the service started.
    [[nodiscard]] quint16 startWord();
    [[nodiscard]] bool keepsLastWord() const;
    // With start-state last, the kept word, read once; otherwise its file
    // goes.
    void readKeptWord();
    void keepConfirmed();
    void logSafety(const safety::BoardSettings& before);
    // Where a relay that is on in the word has a name, the relays that are
    // on, to end a log line with (" - on: 01 (Blind up), 05 (Pump)");
    // otherwise nothing, so lines stay as they were without names.
    [[nodiscard]] QString namesOn(int word) const;
    [[nodiscard]] QString logPath() const;
    [[nodiscard]] QString comDevice(int com);

    BoardConfig m_config;
    Journal& m_journal;
    QString m_stateFolder;
    HeadlessView m_view;
    SystemClock m_clock;
    // The dates, times and numbers of the log file as the desktop program
    // writes them under the service's locale.
    const Regional m_regional = Regional::fromSystem();
    TSerial m_serial;
    Controller m_controller{m_view, m_serial, m_clock, m_regional};
    LogFile m_logFile;
    QTimer m_tick;
    QTimer m_retry;
    QTimer m_stopResend;
    QTimer m_stopLimit;
    DeviceWatch m_watch;
    Backoff m_backoff;
    // Since the fault that ended the last activation: the wait before the
    // next one counts from there.
    QElapsedTimer m_sinceFault;
    // The relay word of the board's last good echo: what a re-activation
    // writes first. Empty until the board has confirmed one.
    std::optional<int> m_confirmed;
    // start-state last: the word in the board's relay state file, read at
    // start and kept whenever the confirmed word changes.
    std::optional<quint16> m_keptWord;
    // Why the file gave no word at start; the start state is then off.
    QString m_keptProblem;
    bool m_keptMissing = false;
    // What came back since the all-off command of a stop.
    QByteArray m_stopReply;
    State m_state = State::Retrying;
    int m_openAttempts = 0;
    // What the journal was last told about the device of the COM number.
    QString m_comNote;
    int m_settleTicks = 0;
    // The watch has just seen the device come back.
    bool m_justBack = false;
    // A log run was offered in this activation.
    bool m_logRunOffered = false;
    std::function<void(bool)> m_onStopped;
    // The board on MQTT, when the configuration names a broker.
    std::unique_ptr<network::BoardLink> m_mqtt;
    // The runner's own observer of the poll cycle.
    int m_subscription = 0;
};

} // namespace service

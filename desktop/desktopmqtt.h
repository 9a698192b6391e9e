// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/pollcycle.h"
#include "network/boardlink.h"
#include "network/mqttconfig.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <variant>

class Clock;
class View;

// The desktop program on MQTT, off until the user turns it on: the same
// topics, commands and discovery as a board of qmxv217d, for the board of
// the desktop's controller. The settings live in mqtt.conf in the
// configuration folder, "key = value" lines with the service's mqtt-* keys
// plus "enabled" and "name"; written readable by the user only, since it may
// hold the broker's password.
namespace network {

struct DesktopMqttSettings
{
    // Nothing is connected while off, whatever the rest says.
    bool enabled = false;
    // The board's name in topics and discovery; empty: DefaultBoardName().
    QString name;
    MqttConfig mqtt;

    [[nodiscard]] QString boardName() const;
    // qmxv217/<name> unless mqtt-topic-prefix says otherwise.
    [[nodiscard]] QString topicPrefix() const;
    // mqtt-client-id, else DefaultClientId().
    [[nodiscard]] QString clientId() const;
    bool operator==(const DesktopMqttSettings&) const = default;
};

// ConfigFolder()/mqtt.conf.
[[nodiscard]] QString MqttSettingsFile();
// The machine's host name made a valid board name.
[[nodiscard]] QString DefaultBoardName();
// qmxv217-<user>@<host>: one per user and machine, so two desktops on one
// broker do not throw each other off.
[[nodiscard]] QString DefaultClientId();

// The settings file: the defaults (off) when there is none, else its
// settings or the one line that tells what is wrong ("FILE:LINE: PROBLEM").
[[nodiscard]] std::variant<DesktopMqttSettings, QString> ReadMqttSettings(const QString& path);
[[nodiscard]] std::variant<DesktopMqttSettings, QString> ParseMqttSettings(const QString& path,
                                                                           const QByteArray& text);
// What ReadMqttSettings reads back as the same settings.
[[nodiscard]] QByteArray MqttSettingsText(const DesktopMqttSettings& settings);
// The settings as the window gives them: the first problem, empty when they
// can be used and saved.
[[nodiscard]] QString CheckMqttSettings(const DesktopMqttSettings& settings);

// The connection of the desktop's controller, wired as qmxv217d wires a
// board: a BoardLink on the poll cycle, whose board is always the owner's to
// run, so only the cycle's own state counts. The link observes the cycle
// after the observers subscribed before it connects (the trace); the owner
// forwards the message panel's texts.
//
// Nothing is printed: what the connection and the commands have to say is
// kept as the last kLogLines lines for the MQTT window.
class DesktopMqtt
{
public:
    enum class State
    {
        Off,
        Connecting,
        Connected,
        Refused
    };

    static constexpr qsizetype kLogLines = 100;
    // How often availability is checked against the cycle: its tick.
    static constexpr std::chrono::milliseconds kCheckPeriod = board::PollCycle::kTickPeriod;

    // poll: the desktop controller's cycle; requestRelays: its one writer of
    // the relay word, for the commands; view: where a settings file
    // that cannot be used is told, once, as soon as startedUp says the
    // controller's start-up is done; clock: the time of the log lines.
    DesktopMqtt(board::PollCycle& poll, RelayRequest requestRelays, View& view, const Clock& clock,
                QString file, std::function<bool()> startedUp);
    // A clean disconnect: availability offline first, and no will.
    ~DesktopMqtt();
    DesktopMqtt(const DesktopMqtt&) = delete;
    DesktopMqtt& operator=(const DesktopMqtt&) = delete;

    // Reads the settings file and connects when it says so. A file that
    // cannot be used leaves MQTT off and is left as it is; the view says so
    // after the controller's start-up.
    void load();
    // Writes the settings file and runs with the new settings (connecting
    // again, or disconnecting when off). False with the problem when the
    // file cannot be written; nothing changes then.
    [[nodiscard]] bool save(const DesktopMqttSettings& settings, QString& problem);

    [[nodiscard]] const QString& file() const { return m_file; }
    [[nodiscard]] const DesktopMqttSettings& settings() const { return m_settings; }
    [[nodiscard]] State state() const { return m_state; }
    // The status line: off, connecting, connected or refused (with the
    // broker's reason); never the password.
    [[nodiscard]] QString stateText() const;
    [[nodiscard]] const QStringList& logLines() const { return m_log; }
    // Told after every change of the state or of the log.
    void setOnChanged(std::function<void()> handler) { m_onChanged = std::move(handler); }

    // A new text of the message panel, published on status.
    void messageShown(const QString& text);
    // The board's settings as the controller has them: the names of the
    // entities in discovery, kept across connections.
    void setBoardSettings(const safety::BoardSettings& settings);

private:
    void start();
    void stop();
    void tick();
    void setState(State state, const QString& reason = {});
    void addLog(const QString& text);
    void changed();

    board::PollCycle& m_poll;
    RelayRequest m_requestRelays;
    View& m_view;
    const Clock& m_clock;
    QString m_file;
    std::function<bool()> m_startedUp;
    DesktopMqttSettings m_settings;
    // Why the file could not be used; told once, then kept for the window.
    QString m_fileProblem;
    bool m_problemTold = true;
    State m_state = State::Off;
    QString m_refusal;
    QStringList m_log;
    std::function<void()> m_onChanged;
    QTimer m_tick;
    safety::BoardSettings m_boardSettings;
    // While on.
    std::unique_ptr<BoardLink> m_link;
};

} // namespace network

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/pollcycle.h"
#include "network/boardtopics.h"
#include "network/mqttclient.h"
#include "network/mqttconfig.h"
#include "safety/boardsettings.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// One board on MQTT, as both programs wire it: a client and the board's
// topics on its poll cycle, and availability under <prefix>/availability
// (retained): online only once the board has echoed a relay word in this
// activation and while it runs without a fault, offline otherwise and as
// the will. Commands that arrive while the board is not responding are
// refused, so none of them acts whenever the board comes back; a command
// the broker kept (published with the retain flag) is ignored, so it does
// not act again on every connection.
//
// The link observes the poll cycle for as long as it lives, after the
// observers that subscribed before it was made; commands reach the relay
// word through the owner's one writer. The owner calls check() from its own
// tick.
namespace network {

class BoardLink
{
public:
    enum class Level
    {
        Info,
        Warning,
        Error
    };

    struct Hooks
    {
        // Every line worth a log: the connection's, refused commands; never
        // the password.
        std::function<void(Level level, const QString& text)> log;
        // Optional: the broker has accepted the connection (every time).
        std::function<void()> connected;
        // Optional: the broker refused the connection, in its words.
        std::function<void(const QString& reason)> refused;
        // Optional: the time that paces the lines of refused commands; the
        // steady clock when not given.
        std::function<std::chrono::steady_clock::time_point()> now;
    };

    // A flood of refused commands is told in one line per this period: the
    // first refusal at once, then what followed it as one line with the
    // count ("... (and N more refused in the last second)").
    static constexpr std::chrono::milliseconds kRefusalPeriod{1000};

    // config: the broker and the discovery settings (its topic prefix and
    // client id are the owner's to default); prefix: the board's topics;
    // board: its name in discovery; requestRelays: the owner's writer of
    // the relay word; runsBoard: whether the owner has the board running
    // (the poll cycle's own state aside).
    BoardLink(MqttConfig config, QString clientId, QString prefix, QString board,
              board::PollCycle& poll, RelayRequest requestRelays, std::function<bool()> runsBoard,
              Hooks hooks);
    // Unsubscribes, then stop().
    ~BoardLink();
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // Reads the password file, if one is named (a file that cannot be read
    // is told once here), and starts connecting.
    void start();
    // A clean disconnect: availability offline first, and no will.
    void stop();
    [[nodiscard]] bool connected() const { return m_client && m_client->connected(); }
    // Whether a link started with these settings would connect as this one
    // did: the same settings, and the same password in the password file.
    [[nodiscard]] bool connectsAs(const MqttConfig& config, const QString& clientId,
                                  const QString& prefix) const;
    // The owner runs the board, the cycle is active without a fault and the
    // board has echoed a relay word since it was last seen otherwise.
    [[nodiscard]] bool responding() const;

    // From the owner's tick: availability follows the board, and the
    // refusals held back in the last period are told.
    void check();
    // A message of the board's panel, on <prefix>/status.
    void publishStatus(const QString& text);
    // The board is removed: its discovery messages are taken off the broker.
    void clearDiscovery();
    // Settings without input events follow: the event entities go.
    void clearInputEvents();
    // The board's settings, for the names of its entities: a change of the
    // names announces the entities again at once (their ids stay).
    void setBoardSettings(const safety::BoardSettings& settings);

private:
    void observe(board::PollCycle::Observation what, int portIn, int portOut);
    [[nodiscard]] bool active() const;
    void publishAvailability(bool force);
    // Availability, discovery and the states known so far, all again.
    void republish();
    void message(const QString& topic, const QByteArray& payload, bool retained);
    void log(Level level, const QString& text) const;
    // A command refused or ignored: told, at most one line per period.
    void refuse(const QString& text);
    void tellHeldBack(std::chrono::steady_clock::time_point now, bool closing);
    [[nodiscard]] std::chrono::steady_clock::time_point now() const;
    [[nodiscard]] QString availabilityTopic() const;

    MqttConfig m_config;
    QString m_clientId;
    QString m_prefix;
    QString m_board;
    board::PollCycle& m_poll;
    RelayRequest m_requestRelays;
    std::function<bool()> m_runsBoard;
    // What start() read from the password file.
    QString m_filePassword;
    Hooks m_hooks;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<BoardTopics> m_topics;
    BoardTopics::EntityNames m_entityNames;
    // The board has echoed a relay word since it was last seen inactive or
    // faulty: only then does it count as online, so one that is still
    // silent does not read online each time it is activated again.
    bool m_echoed = false;
    // What availability last said; nothing before the first connection.
    std::optional<bool> m_online;
    // When the last refusal line was written, while refusals are paced.
    std::optional<std::chrono::steady_clock::time_point> m_refusalLine;
    // Refusals since then, not yet told, and the last of them.
    qsizetype m_heldBack = 0;
    QString m_lastHeldBack;
    int m_subscription = 0;
};

} // namespace network

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/pollcycle.h"
#include "network/mqttclient.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>

// What one board publishes and obeys on MQTT, under its topic prefix:
// relay/NN/state and input/N/state (ON/OFF, retained) as the board echoes
// and reports them, relay/NN/set (ON, OFF, TOGGLE) and relays/set (four hex
// digits) acting on PortOut as the manual controls do, through the owner's
// one writer of the relay word, and the Home Assistant discovery messages of
// its 16 switches and 6 binary sensors, each named after the board's name
// for its relay or input where it has one. With input events on, each edge
// of an input between two reads is an event on input/N/event ("press" as it
// goes high, "release" as it goes low; not retained), announced as one
// event entity per input. Home Assistant's status topic saying "online"
// (it has started again) brings discovery and the states again.
namespace network {

// The owner's one writer of the relay word, for a command: the relays of
// mask take their bits from word (one bit for relay/NN/set, 0xFFFF for
// relays/set), the others keep theirs.
using RelayRequest = std::function<void(quint16 word, quint16 mask)>;

class BoardTopics
{
public:
    struct Names
    {
        QString prefix;
        QString discoveryPrefix;
        bool discovery = true;
        // The board's name, for the node id and the entity names.
        QString board;
        QString version;
        bool inputEvents = false;
    };

    static constexpr int kRelays = 16;
    static constexpr int kInputs = 6;
    static constexpr qsizetype kMaxPayload = 64;

    // The names of the entities; empty: "Relay N" and "Input N".
    struct EntityNames
    {
        std::array<QString, kRelays> relays;
        std::array<QString, kInputs> inputs;
        bool operator==(const EntityNames&) const = default;
    };

    // poll: what the commands are judged on; requestRelays: where they
    // go; warn: one line for a command that is refused.
    BoardTopics(MqttClient& client, const board::PollCycle& poll, RelayRequest requestRelays,
                Names names, std::function<void(const QString&)> warn);

    // After each connection, and when Home Assistant has started again:
    // discovery, and the states known so far again.
    void connected();
    void relayEchoed(int word);
    void inputsRead(int word);
    void message(const QString& topic, const QByteArray& payload);
    // Home Assistant's status topic, subscribed with discovery on: its
    // messages are no commands.
    [[nodiscard]] bool isStatusTopic(const QString& topic) const;
    // Discovery follows a change of the names at once.
    void setEntityNames(const EntityNames& names);
    // The board was not seen for a while: the next read is no edge, it
    // starts the input events again.
    void restartInputEdges() { m_edgeInputs.reset(); }
    // The board is removed: its discovery messages are taken off the broker.
    void clearDiscovery();
    // Input events are turned off: their entities go, the others stay.
    void clearInputEvents();

private:
    void publishRelay(int relay);
    void publishInput(int input);
    void publishDiscovery();
    [[nodiscard]] QString statusTopic() const;
    [[nodiscard]] QString nodeId() const;
    [[nodiscard]] QList<QString> discoveryTopics() const;

    MqttClient& m_client;
    const board::PollCycle& m_poll;
    RelayRequest m_requestRelays;
    Names m_names;
    std::function<void(const QString&)> m_warn;
    // The words last published; nothing before the first echo and read.
    std::optional<int> m_relays;
    std::optional<int> m_inputs;
    // The input word of the last read that events are told against.
    std::optional<int> m_edgeInputs;
    EntityNames m_entityNames;
};

} // namespace network

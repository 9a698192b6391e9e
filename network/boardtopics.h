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
// its 16 switches and 6 binary sensors.
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
    };

    static constexpr int kRelays = 16;
    static constexpr int kInputs = 6;
    static constexpr qsizetype kMaxPayload = 64;

    // poll: what the commands are judged on; requestRelays: where they
    // go; warn: one line for a command that is refused.
    BoardTopics(MqttClient& client, const board::PollCycle& poll, RelayRequest requestRelays,
                Names names, std::function<void(const QString&)> warn);

    // After each connection: discovery, and the states known so far again.
    void connected();
    void relayEchoed(int word);
    void inputsRead(int word);
    void message(const QString& topic, const QByteArray& payload);
    // The board is removed: its discovery messages are taken off the broker.
    void clearDiscovery();

private:
    void publishRelay(int relay);
    void publishInput(int input);
    void publishDiscovery();
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
};

} // namespace network

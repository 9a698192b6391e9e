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
// digits) acting on PortOut as the manual controls do, and the Home
// Assistant discovery messages of its 16 switches and 6 binary sensors.
namespace network {

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

    // warn: one line for a command that is refused.
    BoardTopics(MqttClient& client, board::PollCycle& poll, Names names,
                std::function<void(const QString&)> warn);

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
    board::PollCycle& m_poll;
    Names m_names;
    std::function<void(const QString&)> m_warn;
    // The words last published; nothing before the first echo and read.
    std::optional<int> m_relays;
    std::optional<int> m_inputs;
};

} // namespace network

// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/boardtopics.h"

#include "network/boardname.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace network {

namespace {

QByteArray onOff(bool on)
{
    return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

QString two(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

BoardTopics::BoardTopics(MqttClient& client, const board::PollCycle& poll,
                         RelayRequest requestRelays, Names names,
                         std::function<void(const QString&)> warn)
    : m_client(client), m_poll(poll), m_requestRelays(std::move(requestRelays)),
      m_names(std::move(names)), m_warn(std::move(warn))
{
    m_client.subscribe(m_names.prefix + QStringLiteral("/relay/+/set"));
    m_client.subscribe(m_names.prefix + QStringLiteral("/relays/set"));
    if (m_names.discovery)
        m_client.subscribe(statusTopic());
}

QString BoardTopics::statusTopic() const
{
    return m_names.discoveryPrefix + QStringLiteral("/status");
}

bool BoardTopics::isStatusTopic(const QString& topic) const
{
    return m_names.discovery && topic == statusTopic();
}

void BoardTopics::setEntityNames(const EntityNames& names)
{
    if (names == m_entityNames)
        return;
    m_entityNames = names;
    // Otherwise the next connection announces them.
    if (m_names.discovery && m_client.connected())
        publishDiscovery();
}

QString BoardTopics::nodeId() const
{
    return DiscoveryNodeId(m_names.board);
}

void BoardTopics::connected()
{
    if (m_names.discovery)
        publishDiscovery();
    for (int r = 1; m_relays && r <= kRelays; ++r)
        publishRelay(r);
    for (int i = 1; m_inputs && i <= kInputs; ++i)
        publishInput(i);
}

void BoardTopics::publishRelay(int relay)
{
    m_client.publish(m_names.prefix + QStringLiteral("/relay/%1/state").arg(two(relay)),
                     onOff((*m_relays >> (relay - 1)) & 1), true);
}

void BoardTopics::publishInput(int input)
{
    m_client.publish(m_names.prefix + QStringLiteral("/input/%1/state").arg(input),
                     onOff((*m_inputs >> (input - 1)) & 1), true);
}

void BoardTopics::relayEchoed(int word)
{
    const std::optional<int> before = std::exchange(m_relays, word & 0xFFFF);
    for (int r = 1; r <= kRelays; ++r) {
        const int bit = 1 << (r - 1);
        if (!before || ((*before ^ word) & bit))
            publishRelay(r);
    }
}

void BoardTopics::inputsRead(int word)
{
    const std::optional<int> before = std::exchange(m_inputs, word & 0x3F);
    for (int i = 1; i <= kInputs; ++i) {
        const int bit = 1 << (i - 1);
        if (!before || ((*before ^ word) & bit))
            publishInput(i);
    }
    if (!m_names.inputEvents)
        return;
    const std::optional<int> edgeBefore = std::exchange(m_edgeInputs, word & 0x3F);
    for (int i = 1; edgeBefore && i <= kInputs; ++i) {
        const int bit = 1 << (i - 1);
        if ((*edgeBefore ^ word) & bit)
            m_client.publish(m_names.prefix + QStringLiteral("/input/%1/event").arg(i),
                             (word & bit) ? QByteArrayLiteral(R"({"event_type":"press"})")
                                          : QByteArrayLiteral(R"({"event_type":"release"})"),
                             false);
    }
}

void BoardTopics::message(const QString& topic, const QByteArray& payload)
{
    const QString shown = QString::fromUtf8(payload.left(kMaxPayload)).simplified();
    const auto refuse = [&](const QString& why) {
        m_warn(QStringLiteral("MQTT %1: %2; nothing changed").arg(topic, why));
    };
    if (payload.size() > kMaxPayload)
        return refuse(QStringLiteral("a payload of %1 bytes").arg(payload.size()));
    const QString rest = topic.mid(m_names.prefix.size());
    int word = m_poll.PortOut();
    int mask = 0xFFFF;
    static const QRegularExpression relaySet(QStringLiteral("^/relay/([0-9]{2})/set$"));
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{4}$"));
    if (rest == QStringLiteral("/relays/set")) {
        if (!hex.match(QString::fromLatin1(payload)).hasMatch())
            return refuse(QStringLiteral("'%1' is not four hex digits").arg(shown));
        word = payload.toInt(nullptr, 16);
    } else if (const QRegularExpressionMatch m = relaySet.match(rest); m.hasMatch()) {
        const int relay = m.captured(1).toInt();
        if (relay < 1 || relay > kRelays)
            return refuse(QStringLiteral("no relay %1").arg(m.captured(1)));
        const int bit = 1 << (relay - 1);
        mask = bit;
        if (payload == "ON")
            word |= bit;
        else if (payload == "OFF")
            word &= ~bit;
        else if (payload == "TOGGLE")
            word ^= bit;
        else
            return refuse(QStringLiteral("'%1' is not ON, OFF or TOGGLE").arg(shown));
    } else {
        return refuse(QStringLiteral("not a topic of this board"));
    }
    // It would act whenever the board came back, unexpectedly.
    if (!m_poll.SystemActive())
        return refuse(QStringLiteral("the board is not running"));
    m_requestRelays(static_cast<quint16>(word & 0xFFFF), static_cast<quint16>(mask));
}

QList<QString> BoardTopics::discoveryTopics() const
{
    QList<QString> topics;
    const QString base = m_names.discoveryPrefix + QLatin1Char('/');
    for (int r = 1; r <= kRelays; ++r)
        topics.append(base + QStringLiteral("switch/%1/relay%2/config").arg(nodeId(), two(r)));
    for (int i = 1; i <= kInputs; ++i)
        topics.append(base +
                      QStringLiteral("binary_sensor/%1/input%2/config").arg(nodeId()).arg(i));
    for (int i = 1; m_names.inputEvents && i <= kInputs; ++i)
        topics.append(base + QStringLiteral("event/%1/input%2/config").arg(nodeId()).arg(i));
    return topics;
}

void BoardTopics::publishDiscovery()
{
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{nodeId()}},
        {QStringLiteral("name"), QStringLiteral("V217 relay board ") + m_names.board},
        {QStringLiteral("manufacturer"), QStringLiteral("QMX")},
        {QStringLiteral("model"), QStringLiteral("V217")},
        {QStringLiteral("sw_version"), m_names.version},
    };
    const QString availability = m_names.prefix + QStringLiteral("/availability");
    const QList<QString> topics = discoveryTopics();
    for (qsizetype n = 0; n < kRelays + kInputs; ++n) {
        const bool relay = n < kRelays;
        const int number = static_cast<int>(relay ? n + 1 : n - kRelays + 1);
        const QString which = relay ? QStringLiteral("relay/%1").arg(two(number))
                                    : QStringLiteral("input/%1").arg(number);
        const QString& given =
            relay ? m_entityNames.relays.at(number - 1) : m_entityNames.inputs.at(number - 1);
        const QString name = !given.isEmpty() ? given
                             : relay          ? QStringLiteral("Relay %1").arg(number)
                                              : QStringLiteral("Input %1").arg(number);
        QJsonObject config{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"),
             nodeId() + QLatin1Char('_') + QString(which).remove(QLatin1Char('/'))},
            {QStringLiteral("state_topic"),
             m_names.prefix + QLatin1Char('/') + which + QStringLiteral("/state")},
            {QStringLiteral("payload_on"), QStringLiteral("ON")},
            {QStringLiteral("payload_off"), QStringLiteral("OFF")},
            {QStringLiteral("availability_topic"), availability},
            {QStringLiteral("device"), device},
        };
        if (relay)
            config.insert(QStringLiteral("command_topic"),
                          m_names.prefix + QLatin1Char('/') + which + QStringLiteral("/set"));
        m_client.publish(topics.at(n), QJsonDocument(config).toJson(QJsonDocument::Compact), true);
        if (relay || !m_names.inputEvents)
            continue;
        // The same input's edges: an entity of its own beside the binary
        // sensor, under the same name.
        const QJsonObject event{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), nodeId() + QStringLiteral("_input%1_event").arg(number)},
            {QStringLiteral("state_topic"),
             m_names.prefix + QLatin1Char('/') + which + QStringLiteral("/event")},
            {QStringLiteral("event_types"),
             QJsonArray{QStringLiteral("press"), QStringLiteral("release")}},
            {QStringLiteral("availability_topic"), availability},
            {QStringLiteral("device"), device},
        };
        m_client.publish(topics.at(n + kInputs),
                         QJsonDocument(event).toJson(QJsonDocument::Compact), true);
    }
}

void BoardTopics::clearDiscovery()
{
    if (!m_names.discovery)
        return;
    for (const QString& topic : discoveryTopics())
        m_client.publish(topic, {}, true);
}

void BoardTopics::clearInputEvents()
{
    if (!m_names.discovery || !m_names.inputEvents)
        return;
    const QList<QString> topics = discoveryTopics();
    for (qsizetype n = kRelays + kInputs; n < topics.size(); ++n)
        m_client.publish(topics.at(n), {}, true);
}

} // namespace network

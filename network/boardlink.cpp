// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/boardlink.h"

#include <QCoreApplication>

namespace network {

namespace {

// The password a file holds now; empty when it cannot be used.
QString passwordOf(const QString& path)
{
    QString password;
    return ReadPasswordFile(path, password).isEmpty() ? password : QString();
}

} // namespace

BoardLink::BoardLink(MqttConfig config, QString clientId, QString prefix, QString board,
                     board::PollCycle& poll, RelayRequest requestRelays,
                     std::function<bool()> runsBoard, Hooks hooks)
    : m_config(std::move(config)), m_clientId(std::move(clientId)), m_prefix(std::move(prefix)),
      m_board(std::move(board)), m_poll(poll), m_requestRelays(std::move(requestRelays)),
      m_runsBoard(std::move(runsBoard)), m_hooks(std::move(hooks))
{
    m_subscription = m_poll.subscribe([this](board::PollCycle::Observation what, int portIn,
                                             int portOut) { observe(what, portIn, portOut); });
}

BoardLink::~BoardLink()
{
    m_poll.unsubscribe(m_subscription);
    stop();
}

QString BoardLink::availabilityTopic() const
{
    return m_prefix + QStringLiteral("/availability");
}

void BoardLink::log(Level level, const QString& text) const
{
    if (m_hooks.log)
        m_hooks.log(level, text);
}

void BoardLink::start()
{
    stop();
    MqttClient::Settings s;
    s.host = m_config.host;
    s.port = m_config.port;
    s.user = m_config.user;
    s.password = m_config.password;
    m_filePassword.clear();
    if (!m_config.passwordFile.isEmpty()) {
        const QString problem = ReadPasswordFile(m_config.passwordFile, s.password);
        if (problem.isEmpty())
            m_filePassword = s.password;
        else
            log(Level::Error, problem);
    }
    s.clientId = m_clientId;
    s.caFile = m_config.caFile;
    s.tls = m_config.tls;
    s.willTopic = availabilityTopic();
    s.willPayload = "offline";
    m_client = std::make_unique<MqttClient>(s);
    m_client->setOnLog([this](bool warning, const QString& text) {
        log(warning ? Level::Warning : Level::Info, text);
    });
    m_client->setOnRefused([this](const QString& reason) {
        if (m_hooks.refused)
            m_hooks.refused(reason);
    });
    BoardTopics::Names names;
    names.prefix = m_prefix;
    names.discoveryPrefix = m_config.discoveryPrefix;
    names.discovery = m_config.discovery;
    names.board = m_board;
    names.version = QCoreApplication::applicationVersion();
    names.inputEvents = m_config.inputEvents;
    m_topics = std::make_unique<BoardTopics>(*m_client, m_poll, m_requestRelays, names,
                                             [this](const QString& text) { refuse(text); });
    m_topics->setEntityNames(m_entityNames);
    m_client->setOnConnected([this] {
        if (m_hooks.connected)
            m_hooks.connected();
        republish();
    });
    m_client->setOnMessage([this](const QString& topic, const QByteArray& payload, bool retained) {
        message(topic, payload, retained);
    });
    m_echoed = false;
    m_online.reset();
    m_client->start();
}

bool BoardLink::connectsAs(const MqttConfig& config, const QString& clientId,
                           const QString& prefix) const
{
    if (config != m_config || clientId != m_clientId || prefix != m_prefix)
        return false;
    return config.passwordFile.isEmpty() || passwordOf(config.passwordFile) == m_filePassword;
}

std::chrono::steady_clock::time_point BoardLink::now() const
{
    return m_hooks.now ? m_hooks.now() : std::chrono::steady_clock::now();
}

void BoardLink::refuse(const QString& text)
{
    const std::chrono::steady_clock::time_point at = now();
    tellHeldBack(at, false);
    if (m_refusalLine) {
        ++m_heldBack;
        m_lastHeldBack = text;
        return;
    }
    log(Level::Warning, text);
    m_refusalLine = at;
}

// The refusals held back are told once their period has passed, or as the
// link closes; each such line starts a period of its own, so a flood that
// goes on is told once per period.
void BoardLink::tellHeldBack(std::chrono::steady_clock::time_point at, bool closing)
{
    if (!m_refusalLine || (!closing && at - *m_refusalLine < kRefusalPeriod))
        return;
    if (m_heldBack == 0) {
        m_refusalLine.reset();
        return;
    }
    const qsizetype more = m_heldBack - 1;
    log(Level::Warning, more == 0 ? m_lastHeldBack
                                  : QStringLiteral("%1 (and %2 more refused in the last second)")
                                        .arg(m_lastHeldBack)
                                        .arg(more));
    m_heldBack = 0;
    m_lastHeldBack.clear();
    m_refusalLine = at;
    if (closing)
        m_refusalLine.reset();
}

void BoardLink::stop()
{
    tellHeldBack(now(), true);
    if (m_client && m_client->connected())
        m_client->publish(availabilityTopic(), "offline", true);
    m_topics.reset();
    m_client.reset();
    m_online.reset();
}

bool BoardLink::active() const
{
    return m_runsBoard() && m_poll.SystemActive();
}

bool BoardLink::responding() const
{
    return m_echoed && active() && m_poll.LastFailure() == board::PollCycle::Failure::None;
}

void BoardLink::republish()
{
    publishAvailability(true);
    m_topics->connected();
}

void BoardLink::message(const QString& topic, const QByteArray& payload, bool retained)
{
    // Home Assistant says "online" as it starts, and has then forgotten
    // what it was not handed again. One the broker kept is no news: it
    // comes with the subscription, right after everything was published.
    if (m_topics->isStatusTopic(topic)) {
        if (payload == "online" && !retained)
            republish();
        return;
    }
    // A command is an event: one that someone published with the retain
    // flag would be handed out again on every connection, switching a
    // relay that has since been switched otherwise.
    if (retained) {
        refuse(QStringLiteral("ignored retained command on %1").arg(topic));
        return;
    }
    // A board activated again after a fault but still silent runs, yet does
    // not take commands: one arriving now would be dropped with the next
    // fault unseen, or act whenever the board came back.
    if (!responding()) {
        refuse(QStringLiteral("MQTT %1: the board is not responding; nothing changed").arg(topic));
        return;
    }
    m_topics->message(topic, payload);
}

void BoardLink::observe(board::PollCycle::Observation what, int portIn, int portOut)
{
    if (!m_topics)
        return;
    switch (what) {
    case board::PollCycle::Observation::RelayEcho:
        m_echoed = active();
        publishAvailability(false);
        m_topics->relayEchoed(portOut);
        break;
    case board::PollCycle::Observation::InputRead:
        m_topics->inputsRead(portIn);
        break;
    case board::PollCycle::Observation::Watchdog:
    case board::PollCycle::Observation::InvalidData:
        // Seen before the cycle resets: the board is offline from here.
        m_echoed = false;
        publishAvailability(false);
        break;
    }
}

void BoardLink::check()
{
    if (!m_client)
        return;
    tellHeldBack(now(), false);
    if (!active())
        m_echoed = false;
    publishAvailability(false);
}

void BoardLink::publishStatus(const QString& text)
{
    if (m_client)
        m_client->publish(m_prefix + QStringLiteral("/status"), text.toUtf8(), false);
}

void BoardLink::clearDiscovery()
{
    if (m_topics)
        m_topics->clearDiscovery();
}

void BoardLink::clearInputEvents()
{
    if (m_topics)
        m_topics->clearInputEvents();
}

void BoardLink::setBoardSettings(const safety::BoardSettings& settings)
{
    m_entityNames.relays = settings.relayNames;
    m_entityNames.inputs = settings.inputNames;
    if (m_topics)
        m_topics->setEntityNames(m_entityNames);
}

void BoardLink::publishAvailability(bool force)
{
    if (!m_client)
        return;
    const bool online = responding();
    // An edge is between two reads of a board seen all along: what changed
    // while it was silent or idle is no press or release.
    if (!online)
        m_topics->restartInputEdges();
    if (!force && m_online == online)
        return;
    if (m_client->publish(availabilityTopic(), online ? "online" : "offline", true))
        m_online = online;
}

} // namespace network

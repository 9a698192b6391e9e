// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/boardwatch.h"

#include "common/seriallink.h"
#include "controller/relay.h"

#include <QJsonArray>

#include <algorithm>

namespace web {

namespace {

QString hexWord(int word, int digits)
{
    return QStringLiteral("%1").arg(word, digits, 16, QLatin1Char('0')).toUpper();
}

// A fault in the words of the refusal.
QString FaultText(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Silence:
        return QStringLiteral("no answer");
    case FaultKind::Invalid:
        return QStringLiteral("invalid data");
    case FaultKind::Hangup:
        return QStringLiteral("the device is gone");
    case FaultKind::Timer:
        break;
    }
    return QStringLiteral("faulty timer data");
}

} // namespace

QString FaultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Silence:
        return QStringLiteral("silence");
    case FaultKind::Invalid:
        return QStringLiteral("invalid");
    case FaultKind::Hangup:
        return QStringLiteral("hangup");
    case FaultKind::Timer:
        break;
    }
    return QStringLiteral("timer");
}

BoardWatch::BoardWatch(BoardHandle handle, std::function<void(BoardWatch*)> changed)
    : m_handle(std::move(handle)), m_changed(std::move(changed))
{
    m_subscription = controller().poll().subscribe(
        [this](board::PollCycle::Observation what, int, int) { observe(static_cast<int>(what)); });
    if (m_handle.watchMessages)
        m_unwatchMessages = m_handle.watchMessages([this](const QString& text) {
            m_messages.push_back({QDateTime::currentDateTime(), text});
            ++m_told;
            while (m_messages.size() > static_cast<size_t>(kMessages))
                m_messages.pop_front();
            m_changed(this);
        });
    sample();
    record();
}

BoardWatch::~BoardWatch()
{
    if (m_unwatchMessages)
        m_unwatchMessages();
    controller().poll().unsubscribe(m_subscription);
}

QStringList BoardWatch::messagesSince(quint64 told) const
{
    const quint64 fresh = std::min<quint64>(m_told - std::min(told, m_told), m_messages.size());
    QStringList texts;
    for (auto m = m_messages.end() - static_cast<std::ptrdiff_t>(fresh); m != m_messages.end(); ++m)
        texts.append(m->text);
    return texts;
}

void BoardWatch::observe(int observation)
{
    using Observation = board::PollCycle::Observation;
    switch (static_cast<Observation>(observation)) {
    case Observation::InputRead:
        ++m_counters.pollCycles;
        if (m_sinceInputRead.isValid() && m_sinceInputRead.elapsed() > kLateCycleMs)
            ++m_counters.lateCycles;
        m_sinceInputRead.start();
        break;
    case Observation::RelayEcho:
        m_echoed = true;
        break;
    case Observation::Watchdog:
        fault(FaultKind::Silence);
        break;
    case Observation::InvalidData:
        fault(FaultKind::Invalid);
        break;
    }
    setUp(responding());
    record();
}

void BoardWatch::fault(FaultKind kind)
{
    ++m_counters.faults[static_cast<size_t>(kind)];
    m_lastFault = kind;
    m_lastFaultTime = QDateTime::currentDateTime();
    m_faulted = true;
    m_echoed = false;
    m_sinceInputRead.invalidate();
}

void BoardWatch::setUp(bool up)
{
    if (up == m_up)
        return;
    m_up = up;
    if (up) {
        m_upSince = QDateTime::currentDateTime();
        if (std::exchange(m_faulted, false))
            ++m_counters.recoveries;
    }
    m_changed(this);
}

void BoardWatch::sample()
{
    const board::PollCycle& poll = controller().poll();
    if (!m_handle.running() || !poll.SystemActive()) {
        m_echoed = false;
        m_sinceInputRead.invalidate();
    }
    const bool hungUp = controller().serial().HungUp();
    if (hungUp && !m_hungUp)
        fault(FaultKind::Hangup);
    m_hungUp = hungUp;
    const QString state = m_handle.state();
    if (state == QStringLiteral("halted") && m_state != state)
        fault(FaultKind::Timer);
    const std::optional<bool> mqtt =
        m_handle.mqttConnected ? m_handle.mqttConnected() : std::nullopt;
    const bool changed = state != m_state || mqtt != m_mqtt;
    m_state = state;
    m_mqtt = mqtt;
    setUp(responding());
    record();
    if (changed)
        m_changed(this);
}

// A point whenever the relays, the inputs or the availability change,
// and none older than the trace's span.
void BoardWatch::record()
{
    const board::PollCycle& poll = controller().poll();
    const int relays = poll.PortOut();
    const int inputs = poll.PortIn();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (relays != m_lastRelays || inputs != m_lastInputs ||
        (!m_trace.empty() && m_trace.back().up != m_up)) {
        const bool shown = m_lastRelays >= 0;
        m_lastRelays = relays;
        m_lastInputs = inputs;
        m_trace.push_back({now, relays, inputs, m_up});
        if (shown)
            m_changed(this);
    } else if (m_trace.empty()) {
        m_trace.push_back({now, relays, inputs, m_up});
    }
    // The first point older than the span stays: it says how the span began.
    while (m_trace.size() > 1 && m_trace[1].ms < now - kTraceMs)
        m_trace.pop_front();
}

bool BoardWatch::responding() const
{
    const board::PollCycle& poll = controller().poll();
    return m_handle.running() && poll.SystemActive() &&
           poll.LastFailure() == board::PollCycle::Failure::None && m_echoed;
}

QString BoardWatch::refusal() const
{
    if (responding())
        return {};
    // The fault that stopped it, then what the service does about it; a
    // board the service runs is waiting for its first answer.
    QStringList why;
    if (m_faulted && m_lastFault)
        why.append(FaultText(*m_lastFault));
    const QString state = m_handle.state();
    if (state != QStringLiteral("running"))
        why.append(state);
    else if (why.isEmpty())
        why.append(QStringLiteral("no answer yet"));
    return QStringLiteral("board '%1' is not responding (%2)")
        .arg(name(), why.join(QStringLiteral("; ")));
}

QString BoardWatch::relayName(int relay) const
{
    return m_handle.relayName ? m_handle.relayName(relay) : QString();
}

QString BoardWatch::inputName(int input) const
{
    return m_handle.inputName ? m_handle.inputName(input) : QString();
}

QJsonObject BoardWatch::summary() const
{
    const Controller& c = controller();
    QJsonObject o{
        {QStringLiteral("name"), name()},
        {QStringLiteral("availability"),
         responding() ? QStringLiteral("online") : QStringLiteral("offline")},
        {QStringLiteral("state"), m_handle.state()},
        {QStringLiteral("relays"), hexWord(c.poll().PortOut(), 4)},
        {QStringLiteral("inputs"), hexWord(c.poll().PortIn(), 2)},
        {QStringLiteral("timers"), c.timers().TimersOn()},
        {QStringLiteral("rules"), c.rules().RulesOn()},
        {QStringLiteral("under_control_s"),
         responding() ? m_upSince.secsTo(QDateTime::currentDateTime()) : 0},
    };
    if (m_lastFault) {
        o.insert(QStringLiteral("last_fault"), FaultKindName(*m_lastFault));
        o.insert(QStringLiteral("last_fault_at"), m_lastFaultTime.toString(Qt::ISODate));
    } else {
        o.insert(QStringLiteral("last_fault"), QJsonValue::Null);
    }
    if (!responding())
        o.insert(QStringLiteral("reason"), refusal());
    return o;
}

QJsonObject BoardWatch::details() const
{
    QJsonObject o = summary();
    QJsonArray relays;
    for (int i = 0; i < 16; ++i)
        relays.append(relayName(i));
    QJsonArray inputs;
    for (int i = 0; i < 6; ++i)
        inputs.append(inputName(i));
    QJsonArray messages;
    for (const Message& m : m_messages)
        messages.append(QJsonObject{{QStringLiteral("time"), m.time.toString(Qt::ISODate)},
                                    {QStringLiteral("text"), m.text}});
    o.insert(QStringLiteral("relay_names"), relays);
    o.insert(QStringLiteral("input_names"), inputs);
    o.insert(QStringLiteral("messages"), messages);
    return o;
}

} // namespace web

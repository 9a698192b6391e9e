// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <optional>

class Controller;

// What the web panel keeps of one board: it watches the poll cycle as an
// observer and samples the runner's state from the panel's own tick, and
// keeps the counters of /metrics, the last messages, the trace of the last
// minutes and whether the board responds, the condition under which the
// panel lets a switch through.
namespace web {

// One board as the panel sees it. The service fills it from its runner;
// a test from whatever stands in for one.
struct BoardHandle
{
    QString name;
    Controller* controller = nullptr;
    // The runner's state in one word ("running", "retrying", ...).
    std::function<QString()> state;
    // Whether the runner has the board running, the poll cycle aside.
    std::function<bool()> running;
    // Nothing when the board has no MQTT, else whether it is connected.
    std::function<std::optional<bool>()> mqttConnected;
    // Subscribes to the texts of the board's message panel; what it gives
    // back undoes that.
    std::function<std::function<void()>(std::function<void(const QString&)>)> watchMessages;
    // The names of relays 0-15 and inputs 0-5 where the board has them.
    std::function<QString(int relay)> relayName;
    std::function<QString(int input)> inputName;
};

enum class FaultKind
{
    Silence,
    Invalid,
    Hangup,
    Timer
};
inline constexpr int kFaultKinds = 4;
[[nodiscard]] QString FaultKindName(FaultKind kind);

class BoardWatch
{
public:
    // A cycle whose input read comes this long after the last one counts as
    // late: the poll cycle takes 200 ms, two ticks.
    static constexpr qint64 kLateCycleMs = 300;
    static constexpr qint64 kTraceMs = 10 * 60 * 1000;
    static constexpr int kMessages = 20;

    struct Counters
    {
        quint64 pollCycles = 0;
        quint64 lateCycles = 0;
        std::array<quint64, kFaultKinds> faults{};
        quint64 recoveries = 0;
    };
    struct Message
    {
        QDateTime time;
        QString text;
    };
    struct TracePoint
    {
        qint64 ms = 0; // since 1970 UTC
        int relays = 0;
        int inputs = 0;
        bool up = false;
    };

    // changed: called whenever what the board shows has changed.
    BoardWatch(BoardHandle handle, std::function<void(BoardWatch*)> changed);
    ~BoardWatch();
    BoardWatch(const BoardWatch&) = delete;
    BoardWatch& operator=(const BoardWatch&) = delete;

    // From the panel's tick: the runner's state, the device, MQTT.
    void sample();

    [[nodiscard]] const BoardHandle& handle() const { return m_handle; }
    [[nodiscard]] const QString& name() const { return m_handle.name; }
    [[nodiscard]] Controller& controller() const { return *m_handle.controller; }
    // Running, active without a fault, and echoed a relay word since.
    [[nodiscard]] bool responding() const;
    // Why a switch is refused now; empty while the board responds.
    [[nodiscard]] QString refusal() const;
    [[nodiscard]] const Counters& counters() const { return m_counters; }
    [[nodiscard]] const std::deque<Message>& messages() const { return m_messages; }
    // How many messages the board has told since it was watched, and the
    // texts of those after the first `told` of them that are still kept.
    [[nodiscard]] quint64 messagesTold() const { return m_told; }
    [[nodiscard]] QStringList messagesSince(quint64 told) const;
    [[nodiscard]] const std::deque<TracePoint>& trace() const { return m_trace; }
    [[nodiscard]] QString relayName(int relay) const;
    [[nodiscard]] QString inputName(int input) const;

    // The list's fields: name, availability, state, relays, inputs,
    // timers, rules, last fault, time under control.
    [[nodiscard]] QJsonObject summary() const;
    // The same, with the names and the last messages.
    [[nodiscard]] QJsonObject details() const;

private:
    void observe(int what);
    void fault(FaultKind kind);
    void record();
    void setUp(bool up);

    BoardHandle m_handle;
    std::function<void(BoardWatch*)> m_changed;
    int m_subscription = 0;
    std::function<void()> m_unwatchMessages;
    Counters m_counters;
    std::deque<Message> m_messages;
    quint64 m_told = 0;
    std::deque<TracePoint> m_trace;
    // Echoed a relay word since the board was last seen inactive or faulty.
    bool m_echoed = false;
    bool m_up = false;
    // A fault since the board last responded: its next echo is a recovery.
    bool m_faulted = false;
    bool m_hungUp = false;
    QString m_state;
    std::optional<bool> m_mqtt;
    QElapsedTimer m_sinceInputRead;
    std::optional<FaultKind> m_lastFault;
    QDateTime m_lastFaultTime;
    QDateTime m_upSince;
    int m_lastRelays = -1;
    int m_lastInputs = -1;
};

} // namespace web

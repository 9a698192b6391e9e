// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/commstate.h"
#include "board/tickclock.h"
#include "common/view.h"

#include <QByteArray>

#include <chrono>
#include <functional>
#include <list>
#include <optional>

class Controller;
class SerialLink;

namespace board {

// The two-step poll cycle on the board link: one tick writes the relays, the
// next reads the inputs, and the receive handler judges each reply by its
// length. It owns the link state and the relay and input words; what the
// timers, the rules and the logger add to a cycle it asks of the hooks the
// owner sets, and what it sees it tells every observer that subscribed.
class PollCycle
{
public:
    // Ticks without a receive notification before the board counts as silent.
    static constexpr int kWatchdogTicks = 15;
    // The period of the tick that runs the sending step.
    static constexpr std::chrono::milliseconds kTickPeriod{100};
    // A command unanswered is sent again once a whole tick has passed since it
    // went out; a tick that comes this much sooner still counts as a whole
    // one, so the ordinary jitter of a timer does not hold a re-send back to
    // the tick after. A tick that catches up after a late one comes far
    // sooner and sends nothing.
    static constexpr std::chrono::milliseconds kTickAllowance{10};
    // One receive step reads at most this many bytes, the serial component's
    // input queue: a board that sends without pause cannot keep the handler
    // reading, and the text, too long by then, is judged at once. What came
    // beyond waits for the next notification.
    static constexpr int kReadLimit = 1024;

    // Asked on every relay-write tick, the last step before the command is
    // built from PortOut: the owner's timers may switch relays then. False
    // when the time data is faulty: the cycle then stops with the fatal
    // error.
    using RelayWordHook = std::function<bool()>;
    // Called after every good input read with the new input word; the
    // owner's rules may switch relays then.
    using InputReadHook = std::function<void(int portIn)>;
    // Called when the link is reset, after the state is cleared and before
    // the indicators show it.
    using ResetHook = std::function<void()>;
    // Asked for every good input read with the word the board sent: the
    // word the cycle goes on with (the owner's debounce).
    using InputWordHook = std::function<int(int read)>;
    // What the cycle saw, for its watchers: every good input read (after the
    // input hook), every good relay echo, and the moment of a fault, before
    // the reset clears the words.
    enum class Observation
    {
        InputRead,
        RelayEcho,
        Watchdog,
        InvalidData
    };
    using Observer = std::function<void(Observation what, int portIn, int portOut)>;

    // Why the cycle last stopped by itself, back to idle.
    enum class Failure
    {
        None,
        NoReply,
        InvalidData,
        TimeData
    };

    PollCycle(View& view, SerialLink& serial) : m_view(view), m_serial(serial) {}
    PollCycle(const PollCycle&) = delete;
    PollCycle& operator=(const PollCycle&) = delete;

    void setRelayWordHook(RelayWordHook hook) { m_relayWord = std::move(hook); }
    void setInputReadHook(InputReadHook hook) { m_inputRead = std::move(hook); }
    void setResetHook(ResetHook hook) { m_reset = std::move(hook); }
    void setInputWordHook(InputWordHook hook) { m_inputWord = std::move(hook); }
    // Any number of watchers (the trace, MQTT, a test) subscribe; each is
    // told in the order they subscribed, and the number given back
    // unsubscribes it. One that subscribes while the others are being told
    // is told from the next observation on.
    int subscribe(Observer observer);
    // Also from inside an observer, itself or another: from then on it is
    // not told again, not even of the observation being told.
    void unsubscribe(int subscription);
    // The time source of the re-sends; the owner keeps it alive. A steady
    // clock of the cycle's own until one is set.
    void setTickClock(const TickClock& clock) { m_tickClock = &clock; }
    [[nodiscard]] const TickClock& tickClock() const { return *m_tickClock; }

    [[nodiscard]] board::CommState CommState() const { return m_commState; }
    [[nodiscard]] int NoReplyTicks() const { return m_noReplyTicks; }
    [[nodiscard]] const QByteArray& RxText() const { return m_rxText; }
    [[nodiscard]] const QByteArray& RelayCommand() const { return m_relayCommand; }
    [[nodiscard]] bool SystemActive() const { return m_systemActive; }
    [[nodiscard]] bool CloseRequested() const { return m_closeRequested; }
    // None after an activation until the cycle fails.
    [[nodiscard]] Failure LastFailure() const { return m_lastFailure; }
    // Bit n of PortOut is relay n+1, bit n of PortIn is input n+1.
    [[nodiscard]] int PortOut() const { return m_portOut; }
    [[nodiscard]] int PortIn() const { return m_portIn; }
    [[nodiscard]] int LastPortOut() const { return m_lastPortOut; }
    [[nodiscard]] int LastPortIn() const { return m_lastPortIn; }

    // The poll step of a tick: what the board has sent already and nobody
    // has read yet is judged first; then the watchdog, then the relay command
    // or the input query, which an unanswered command repeats only once a
    // whole tick has passed since it went out.
    void sendingStep();
    // The receive handler: collects the reply and judges it.
    void Serial1RxData();
    // Back to idle: the cycle stops, the words clear, the indicators show it.
    void ResetSerial();

    // Activation: the cycle starts with a relay write. What the board sent
    // before is let in as the idle state lets it in, and what is left of it
    // is not taken for the start of the first reply.
    void activate();
    // The user asked to deactivate: the next input reply ends the cycle.
    void requestClose() { m_closeRequested = true; }
    // A decoded input word: the indicators, then the input hook.
    void takeInputs(int portIn);

    void UpdatePortOutIndicators(bool allIdle);
    void UpdatePortInIndicators();

protected:
    // The relays the next relay write sends. Every change of the word comes
    // through the controller's one entry, Controller::requestRelays, which
    // is the only caller; a test of the cycle alone reaches it through a
    // class of its own.
    void setPortOut(int portOut) { m_portOut = portOut; }

private:
    friend class ::Controller;

    struct Subscriber
    {
        int subscription = 0;
        Observer observer;
        // Unsubscribed during a notification: taken out once it is over.
        bool gone = false;
    };

    // Appends what has arrived, at most kReadLimit bytes; true when any came.
    bool readWaiting();
    // Judges RxText in the current state: the rows of that state's part of
    // the transition table, then, whichever row it was, the invalid-data step.
    void judge();
    // What a state's rows made of the text.
    enum class Judgement
    {
        Fine,
        InvalidData
    };
    // The rows every reply shares: shorter than awaited, it is collected
    // on; longer, it is invalid data. None for a reply of the whole length.
    [[nodiscard]] static std::optional<Judgement> judgeLength(qsizetype length, int expected);
    // One function per state, for the rows of received data in that state.
    // Idle only waits for the board's prompt and never finds invalid data.
    void judgeIdle();
    [[nodiscard]] Judgement judgeRelayWrite();
    [[nodiscard]] Judgement judgeInputRead();
    [[nodiscard]] Judgement judgeClosing();
    void fail(Failure failure, const QString& status, const QString& box);
    void observe(Observation what);

    View& m_view;
    SerialLink& m_serial;
    RelayWordHook m_relayWord;
    InputReadHook m_inputRead;
    ResetHook m_reset;
    InputWordHook m_inputWord;
    // A list, so that an observer subscribed during a notification does not
    // move the one being told.
    std::list<Subscriber> m_observers;
    int m_lastSubscription = 0;
    // Notifications under way (an observer may cause another).
    int m_notifying = 0;
    SteadyTickClock m_steadyClock;
    const TickClock* m_tickClock = &m_steadyClock;

    board::CommState m_commState = board::CommState::Idle;
    int m_noReplyTicks = 0;
    QByteArray m_rxText;
    QByteArray m_relayCommand;
    bool m_systemActive = false;
    bool m_closeRequested = false;
    Failure m_lastFailure = Failure::None;
    // When the command of the current state went out; empty until it has.
    std::optional<TickClock::time_point> m_sentAt;
    int m_portOut = 0;
    int m_portIn = 0;
    int m_lastPortOut = 0;
    int m_lastPortIn = 0;
};

} // namespace board

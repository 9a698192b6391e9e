// SPDX-License-Identifier: GPL-3.0-or-later
// The two-step poll cycle: one tick writes the relays, the next reads the
// inputs, and the receive handler judges each reply by its length.
#include "board/pollcycle.h"

#include "board/protocol.h"
#include "common/seriallink.h"

#include <QScopeGuard>

#include <algorithm>

namespace board {

void PollCycle::fail(Failure failure, const QString& status, const QString& box)
{
    ResetSerial();
    m_lastFailure = failure;
    m_view.setStatusText(View::Panel::Message, status);
    m_view.showError(box);
}

void PollCycle::sendingStep()
{
    // A reply that waits unread when the tick comes (the program was held
    // up, and its notification has not run yet) came in time: it is judged
    // before the command could go out again and make it look too long.
    if (m_commState != board::CommState::Idle && readWaiting()) {
        m_noReplyTicks = 0;
        judge();
    }
    if (m_commState != board::CommState::Idle) {
        ++m_noReplyTicks;
        if (m_noReplyTicks == kWatchdogTicks) {
            observe(Observation::Watchdog);
            fail(Failure::NoReply, QStringLiteral("Comms error..."),
                 QStringLiteral(
                     "The board is not responding.\rPlease check port, connections and power.\r"));
            m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
            return;
        }
    }
    if (m_commState != board::CommState::RelayWrite && m_commState != board::CommState::InputRead)
        return;
    // The board is given a whole tick for its reply, also when this tick
    // catches up after a late one. A board that answers later than that
    // still has the command sent again, and its two echoes are invalid data.
    const TickClock::time_point now = m_tickClock->now();
    if (m_sentAt && now - *m_sentAt < kTickPeriod - kTickAllowance)
        return;
    if (m_commState == board::CommState::RelayWrite) {
        if (m_relayWord && !m_relayWord()) {
            fail(Failure::TimeData, QStringLiteral("System error..."),
                 QStringLiteral("Fatal error in time data."));
            return;
        }
        m_relayCommand = RelayCommandFor(m_portOut);
        m_serial.WriteString(m_relayCommand);
    } else {
        m_serial.WriteString(kInputQuery);
    }
    m_sentAt = now;
}

void PollCycle::ResetSerial()
{
    m_systemActive = false;
    m_closeRequested = false;
    m_rxText.clear();
    m_commState = board::CommState::Idle;
    m_noReplyTicks = 0;
    m_sentAt.reset();
    m_lastPortOut = 0;
    m_lastPortIn = 0;
    m_portOut = 0;
    m_portIn = 0;
    if (m_reset)
        m_reset();
    UpdatePortOutIndicators(true);
    UpdatePortInIndicators();
    m_view.setLamp(View::Lamp::Activate, false);
}

void PollCycle::activate()
{
    // Still idle: the board's prompt shows "Board online...", and 1 to 3
    // stray bytes (noise as the port opened, the rest of a garbled reply)
    // are dropped instead of spoiling the first echo.
    if (readWaiting())
        judge();
    m_rxText.clear();
    m_sentAt.reset();
    m_systemActive = true;
    m_lastFailure = Failure::None;
    m_commState = board::CommState::RelayWrite;
    UpdatePortOutIndicators(false);
}

void PollCycle::takeInputs(int portIn)
{
    m_portIn = portIn;
    if (m_portIn != m_lastPortIn)
        UpdatePortInIndicators();
    m_lastPortIn = m_portIn;
    if (m_inputRead)
        m_inputRead(m_portIn);
    observe(Observation::InputRead);
}

int PollCycle::subscribe(Observer observer)
{
    m_observers.push_back({++m_lastSubscription, std::move(observer)});
    return m_lastSubscription;
}

void PollCycle::unsubscribe(int subscription)
{
    const auto it =
        std::find_if(m_observers.begin(), m_observers.end(), [subscription](const Subscriber& s) {
            return s.subscription == subscription && !s.gone;
        });
    if (it == m_observers.end())
        return;
    // The observer being told may be this one: it stays until it returns.
    if (m_notifying > 0)
        it->gone = true;
    else
        m_observers.erase(it);
}

void PollCycle::observe(Observation what)
{
    // Every observer is told the same words, whatever one before it did.
    const int portIn = m_portIn;
    const int portOut = m_portOut;
    ++m_notifying;
    const auto done = qScopeGuard([this] {
        if (--m_notifying == 0)
            m_observers.remove_if([](const Subscriber& s) { return s.gone; });
    });
    // Those that subscribe meanwhile come after the ones counted here.
    auto it = m_observers.begin();
    for (std::size_t left = m_observers.size(); left > 0; --left, ++it) {
        if (!it->gone)
            it->observer(what, portIn, portOut);
    }
}

void PollCycle::UpdatePortOutIndicators(bool allIdle)
{
    m_view.showRelayIndicators(static_cast<quint16>(m_portOut & 0xFFFF), allIdle);
}

void PollCycle::UpdatePortInIndicators()
{
    m_view.showInputIndicators(m_portIn);
}

std::optional<PollCycle::Judgement> PollCycle::judgeLength(qsizetype length, int expected)
{
    if (length < expected)
        return Judgement::Fine;
    if (length > expected)
        return Judgement::InvalidData;
    return std::nullopt;
}

bool PollCycle::readWaiting()
{
    char c = 0;
    int count = 0;
    while (count < kReadLimit && m_serial.ReadChar(c) > 0) {
        m_rxText += c;
        ++count;
    }
    return count > 0;
}

void PollCycle::Serial1RxData()
{
    m_noReplyTicks = 0;
    readWaiting();
    judge();
}

void PollCycle::judge()
{
    if (m_rxText.isEmpty())
        return;

    const board::CommState before = m_commState;
    Judgement judgement = Judgement::Fine;
    switch (m_commState) {
    case board::CommState::Idle:
        judgeIdle();
        break;
    case board::CommState::RelayWrite:
        judgement = judgeRelayWrite();
        break;
    case board::CommState::InputRead:
        judgement = judgeInputRead();
        break;
    case board::CommState::Closing:
        judgement = judgeClosing();
        break;
    }

    // The next state's command has not gone out yet.
    if (m_commState != before)
        m_sentAt.reset();
    if (judgement == Judgement::InvalidData) {
        observe(Observation::InvalidData);
        fail(Failure::InvalidData, QStringLiteral("Comms error..."),
             QStringLiteral("Error: Invalid data received"));
    }
}

void PollCycle::judgeIdle()
{
    if (m_rxText == kPrompt) {
        m_view.setStatusText(View::Panel::Message, QStringLiteral("Board online..."));
        m_rxText.clear();
    } else if (m_rxText.size() > kPrompt.size()) {
        m_rxText.clear();
    }
    // 1 to 3 other characters stay, as the start of a prompt.
}

PollCycle::Judgement PollCycle::judgeRelayWrite()
{
    if (const std::optional<Judgement> byLength = judgeLength(m_rxText.size(), kRelayEchoLength))
        return *byLength;
    if (m_rxText != m_relayCommand + kEchoTail)
        return Judgement::InvalidData;
    // The good relay echo: the indicators follow what the board confirmed.
    m_rxText.clear();
    m_commState = board::CommState::InputRead;
    observe(Observation::RelayEcho);
    if (m_lastPortOut != m_portOut)
        UpdatePortOutIndicators(false);
    m_lastPortOut = m_portOut;
    return Judgement::Fine;
}

PollCycle::Judgement PollCycle::judgeInputRead()
{
    if (const std::optional<Judgement> byLength = judgeLength(m_rxText.size(), kInputReplyLength))
        return *byLength;
    if (m_closeRequested) {
        // The reply before the all-off command is not decoded.
        m_rxText.clear();
        m_portOut = 0;
        m_relayCommand = kAllOff;
        m_serial.WriteString(m_relayCommand);
        m_commState = board::CommState::Closing;
        return Judgement::Fine;
    }
    if (!IsValidInputReply(m_rxText)) {
        m_rxText.clear();
        return Judgement::InvalidData;
    }
    const int read = DecodeInputs(m_rxText.at(4), m_rxText.at(5));
    takeInputs(m_inputWord ? m_inputWord(read) : read);
    m_commState = board::CommState::RelayWrite;
    m_rxText.clear();
    return Judgement::Fine;
}

PollCycle::Judgement PollCycle::judgeClosing()
{
    if (const std::optional<Judgement> byLength = judgeLength(m_rxText.size(), kRelayEchoLength))
        return *byLength;
    if (m_rxText != m_relayCommand + kEchoTail)
        return Judgement::InvalidData;
    ResetSerial();
    m_view.setStatusText(View::Panel::Message, QStringLiteral("System closed"));
    return Judgement::Fine;
}

} // namespace board

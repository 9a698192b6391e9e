// The two-step poll cycle: one tick writes the relays, the next reads the
// inputs, and the receive handler judges each reply by its length.
#include "controller/relay.h"

#include "board/protocol.h"
#include "common/seriallink.h"

void Controller::sendingStep()
{
    if (CommState != board::CommState::Idle) {
        ++NoReplyTicks;
        if (NoReplyTicks == kWatchdogTicks) {
            ResetSerial();
            m_view.setStatusText(View::Panel::Message, QStringLiteral("Comms error..."));
            m_view.showError(QStringLiteral(
                "The board is not responding.\rPlease check port, connections and power.\r"));
            m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
            return;
        }
    }
    if (CommState == board::CommState::RelayWrite) {
        if (m_timers.TimersOn() && ExecutePortTimerList() == -1) {
            ResetSerial();
            m_view.setStatusText(View::Panel::Message, QStringLiteral("System error..."));
            m_view.showError(QStringLiteral("Fatal error in time data."));
            return;
        }
        RelayCommand = board::RelayCommandFor(PortOut);
        m_serial.WriteString(RelayCommand);
    } else if (CommState == board::CommState::InputRead) {
        m_serial.WriteString(board::kInputQuery);
    }
}

namespace {

enum class Verdict
{
    Collect,
    Good,
    Invalid
};

Verdict judgeLength(qsizetype length, int expected)
{
    if (length < expected)
        return Verdict::Collect;
    return length == expected ? Verdict::Good : Verdict::Invalid;
}

} // namespace

void Controller::Serial1RxData()
{
    NoReplyTicks = 0;
    char c = 0;
    while (m_serial.ReadChar(c) > 0)
        RxText += c;
    if (RxText.isEmpty())
        return;

    bool invalid = false;
    switch (CommState) {
    case board::CommState::Idle:
        if (RxText == board::kPrompt) {
            m_view.setStatusText(View::Panel::Message, QStringLiteral("Board online..."));
            RxText.clear();
        } else if (RxText.size() > board::kPrompt.size()) {
            RxText.clear();
        }
        break;
    case board::CommState::RelayWrite:
        switch (judgeLength(RxText.size(), board::kRelayEchoLength)) {
        case Verdict::Collect:
            break;
        case Verdict::Good:
            if (RxText != RelayCommand + board::kEchoTail) {
                invalid = true;
                break;
            }
            RxText.clear();
            CommState = board::CommState::InputRead;
            if (LastPortOut != PortOut)
                UpdatePortOutIndicators(false);
            LastPortOut = PortOut;
            break;
        case Verdict::Invalid:
            invalid = true;
            break;
        }
        break;
    case board::CommState::InputRead:
        switch (judgeLength(RxText.size(), board::kInputReplyLength)) {
        case Verdict::Collect:
            break;
        case Verdict::Good:
            if (CloseRequested) {
                // The reply before the all-off command is not decoded.
                RxText.clear();
                PortOut = 0;
                RelayCommand = board::kAllOff;
                m_serial.WriteString(RelayCommand);
                CommState = board::CommState::Closing;
                break;
            }
            if (!board::IsValidInputReply(RxText)) {
                RxText.clear();
                invalid = true;
                break;
            }
            PortIn = board::DecodeInputs(RxText.at(4), RxText.at(5));
            if (PortIn != LastPortIn)
                UpdatePortInIndicators();
            LastPortIn = PortIn;
            if (m_rules.RulesOn())
                ModifyOutputFromRulesBase();
            LogTheData();
            CommState = board::CommState::RelayWrite;
            RxText.clear();
            break;
        case Verdict::Invalid:
            invalid = true;
            break;
        }
        break;
    case board::CommState::Closing:
        switch (judgeLength(RxText.size(), board::kRelayEchoLength)) {
        case Verdict::Collect:
            break;
        case Verdict::Good:
            if (RxText != RelayCommand + board::kEchoTail) {
                invalid = true;
                break;
            }
            ResetSerial();
            m_view.setStatusText(View::Panel::Message, QStringLiteral("System closed"));
            break;
        case Verdict::Invalid:
            invalid = true;
            break;
        }
        break;
    }

    if (invalid) {
        ResetSerial();
        m_view.setStatusText(View::Panel::Message, QStringLiteral("Comms error..."));
        m_view.showError(QStringLiteral("Error: Invalid data received"));
    }
}

// The two-step poll cycle: one tick writes the relays, the next reads the
// inputs, and the receive handler judges each reply by its length.
#include "controller/relay.h"

#include "board/protocol.h"
#include "common/seriallink.h"

void Controller::sendingStep()
{
    if (CommState != 0) {
        ++NoReplyTicks;
        if (NoReplyTicks == kWatchdogTicks) {
            ResetSerial();
            m_view.setStatusText(1, QStringLiteral("Comms error..."));
            m_view.showError(QStringLiteral(
                "The board is not responding.\rPlease check port, connections and power.\r"));
            m_view.setStatusText(1, QStringLiteral("Ready"));
            return;
        }
    }
    if (CommState == 1) {
        if (TimersOn && ExecutePortTimerList() == -1) {
            ResetSerial();
            m_view.setStatusText(1, QStringLiteral("System error..."));
            m_view.showError(QStringLiteral("Fatal error in time data."));
            return;
        }
        RelayCommand = board::RelayCommandFor(PortOut);
        m_serial.WriteString(RelayCommand);
    } else if (CommState == 2) {
        m_serial.WriteString(board::kInputQuery);
    }
}

namespace {

enum class Verdict { Collect, Good, Invalid };

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
    case 0:
        if (RxText == board::kPrompt) {
            m_view.setStatusText(1, QStringLiteral("Board online..."));
            RxText.clear();
        } else if (RxText.size() > board::kPrompt.size()) {
            RxText.clear();
        }
        break;
    case 1:
        switch (judgeLength(RxText.size(), board::kRelayEchoLength)) {
        case Verdict::Collect:
            break;
        case Verdict::Good:
            if (RxText != RelayCommand + board::kEchoTail) {
                invalid = true;
                break;
            }
            RxText.clear();
            CommState = 2;
            if (LastPortOut != PortOut)
                UpdatePortOutIndicators(false);
            LastPortOut = PortOut;
            break;
        case Verdict::Invalid:
            invalid = true;
            break;
        }
        break;
    case 2:
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
                CommState = 3;
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
            if (RulesOn)
                ModifyOutputFromRulesBase();
            LogTheData();
            CommState = 1;
            RxText.clear();
            break;
        case Verdict::Invalid:
            invalid = true;
            break;
        }
        break;
    case 3:
        switch (judgeLength(RxText.size(), board::kRelayEchoLength)) {
        case Verdict::Collect:
            break;
        case Verdict::Good:
            if (RxText != RelayCommand + board::kEchoTail) {
                invalid = true;
                break;
            }
            ResetSerial();
            m_view.setStatusText(1, QStringLiteral("System closed"));
            break;
        case Verdict::Invalid:
            invalid = true;
            break;
        }
        break;
    default:
        break;
    }

    if (invalid) {
        ResetSerial();
        m_view.setStatusText(1, QStringLiteral("Comms error..."));
        m_view.showError(QStringLiteral("Error: Invalid data received"));
    }
}

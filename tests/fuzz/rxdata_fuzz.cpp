// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the receive handler of the poll cycle. The input is a script
// that starts the controller in any poll state (idle, relay write, input read,
// closing) and then mixes receive notifications carrying arbitrary bytes in
// arbitrary pieces with ticks and the Activate and manual relay buttons.
// After every step the controller must be in one of its four states with the
// matching flags, hold no more received text than the longest reply, have sent
// only well-formed commands, and have reached each new state by a transition
// the poll cycle allows, with the matching status text and message box.
#include "board/protocol.h"
#include "common/regional.h"
#include "controller/relay.h"
#include "fuzzinput.h"
#include "support/fakelink.h"
#include "support/fakeview.h"
#include "support/manualclock.h"

#include <cstdint>

namespace {

const QString kInvalid = QStringLiteral("Error: Invalid data received");
const QString kNotResponding =
    QStringLiteral("The board is not responding.\rPlease check port, connections and power.\r");

bool isCommand(const QByteArray& command)
{
    if (command == board::kInputQuery)
        return true;
    if (command.size() != 6 || command.front() != 'R' || command.back() != '\r')
        return false;
    for (int i = 1; i <= 4; ++i) {
        if (HexToDec(command.at(i)) < 0)
            return false;
    }
    return true;
}

struct Harness
{
    FakeView view;
    FakeLink link;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    Controller core{view, link, clock, regional};

    // Puts the controller in a poll state the way the cycle itself gets
    // there: activation, the relay command of the tick, its echo, and for the
    // closing state an input reply after the close request.
    void enter(int state, bool closeRequested, int portOut)
    {
        core.FirstTick = false;
        core.ResetSerial();
        if (state == 0)
            return;
        board::PollCycle& poll = core.poll();
        poll.activate();
        core.requestRelays(static_cast<quint16>(portOut), 0xFFFF, Controller::Source::Manual);
        poll.sendingStep();
        if (closeRequested || state == 3)
            poll.requestClose();
        if (state >= 2)
            link.receive(poll.RelayCommand() + board::kEchoTail);
        if (state == 3)
            link.receive(QByteArray(board::kInputReplyLength, '0'));
    }

    void checkInvariants() const
    {
        FUZZ_CHECK(static_cast<int>(core.poll().CommState()) >= 0 &&
                   static_cast<int>(core.poll().CommState()) <= 3);
        FUZZ_CHECK(core.poll().SystemActive() ==
                   (core.poll().CommState() != board::CommState::Idle));
        FUZZ_CHECK(!core.poll().CloseRequested() || core.poll().SystemActive());
        FUZZ_CHECK(core.poll().RxText().size() <= board::kInputReplyLength);
        // A complete reply is judged at once, so less than a whole one stays.
        const qsizetype longestKept = core.poll().CommState() == board::CommState::InputRead
                                          ? board::kInputReplyLength - 1
                                          : board::kRelayEchoLength - 1;
        FUZZ_CHECK(core.poll().RxText().size() <= longestKept);
        FUZZ_CHECK(core.poll().PortOut() >= 0 && core.poll().PortOut() <= 0xFFFF);
        FUZZ_CHECK(core.poll().PortIn() >= 0 && core.poll().PortIn() <= 0x3F);
        for (const QByteArray& command : link.written)
            FUZZ_CHECK(isCommand(command));
        for (const FakeView::Box& box : view.boxes) {
            FUZZ_CHECK(box.kind == QStringLiteral("Error"));
            FUZZ_CHECK(box.text == kInvalid || box.text == kNotResponding);
        }
    }

    // One receive notification with the given bytes, judged against the
    // transitions of the poll cycle.
    void receive(const QByteArray& bytes)
    {
        const int before = static_cast<int>(core.poll().CommState());
        const bool closing = core.poll().CloseRequested();
        const qsizetype boxes = view.boxes.size();
        const qsizetype sent = link.written.size();
        view.status[1].clear();
        link.receive(bytes);
        const int after = static_cast<int>(core.poll().CommState());
        const bool newBox = view.boxes.size() > boxes;
        FUZZ_CHECK(view.boxes.size() <= boxes + 1);
        FUZZ_CHECK(core.poll().NoReplyTicks() == 0);
        if (newBox) {
            FUZZ_CHECK(view.boxes.last().text == kInvalid);
            FUZZ_CHECK(view.status[1] == QStringLiteral("Comms error..."));
            FUZZ_CHECK(after == 0 && before != 0);
        }
        switch (before) {
        case 0:
            FUZZ_CHECK(after == 0 && !newBox);
            break;
        case 1:
            FUZZ_CHECK(after == 1 || after == 2 || (after == 0 && newBox));
            if (after == 2)
                FUZZ_CHECK(core.poll().LastPortOut() == core.poll().PortOut() &&
                           core.poll().RxText().isEmpty());
            break;
        case 2:
            FUZZ_CHECK(after == 2 || after == 1 || after == 3 || (after == 0 && newBox));
            FUZZ_CHECK(after != 1 || !closing);
            FUZZ_CHECK(after != 3 || closing);
            if (after == 3) {
                // Exactly one all-off command, and the reply before it is not decoded.
                FUZZ_CHECK(link.written.size() == sent + 1);
                FUZZ_CHECK(link.written.last() == board::kAllOff && core.poll().PortOut() == 0);
            }
            break;
        case 3:
            FUZZ_CHECK(after == 3 || after == 0);
            if (after == 0 && !newBox)
                FUZZ_CHECK(view.status[1] == QStringLiteral("System closed"));
            break;
        }
        if (after != 3 || before != 2)
            FUZZ_CHECK(link.written.size() == sent);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    Harness h;
    const std::uint8_t setup = input.byte();
    h.enter(setup & 3, (setup & 4) != 0, input.word());
    h.checkInvariants();
    while (!input.empty()) {
        const std::uint8_t op = input.byte();
        switch (op & 7) {
        case 0:
            h.core.run([&h] { h.core.Timer1Timer(); });
            break;
        case 1:
            h.core.ActiveButtClick();
            break;
        case 2:
            h.core.SetAllButtClick();
            break;
        case 3:
            h.core.ClearAllButtClick();
            break;
        default:
            // A notification with 0 to 31 bytes.
            h.receive(input.bytes(op >> 3));
            break;
        }
        h.checkInvariants();
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The poll cycle on its own: a recording view, a fake link and hooks that
// note when they are asked, no controller, no timers, rules or logger.
#include "board/pollcycle.h"
#include "board/protocol.h"
#include "support/fakelink.h"
#include "support/fakeview.h"

#include <gtest/gtest.h>

namespace {

// The cycle with its relay word in the test's hands: in the program only
// the controller's one writer stores it.
struct LonePollCycle : board::PollCycle
{
    using PollCycle::PollCycle;
    using PollCycle::setPortOut;
};

class PollCyclePart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        link.setRxHandler([this] { poll.Serial1RxData(); });
        poll.setRelayWordHook([this] {
            calls.append(QStringLiteral("relay word %1").arg(poll.PortOut()));
            poll.setPortOut(poll.PortOut() | relayBits);
            return timeDataGood;
        });
        poll.setInputReadHook([this](int portIn) {
            calls.append(QStringLiteral("input read %1 %2").arg(portIn).arg(poll.PortOut()));
            poll.setPortOut(inputRelays);
        });
        poll.setResetHook([this] {
            calls.append(QStringLiteral("reset"));
            activeAtReset = poll.SystemActive();
            idleShownAtReset = view.relaysIdle;
        });
    }

    FakeView view;
    FakeLink link;
    LonePollCycle poll{view, link};
    QStringList calls;
    int relayBits = 0;
    bool timeDataGood = true;
    int inputRelays = 0;
    bool activeAtReset = true;
    bool idleShownAtReset = true;
};

} // namespace

TEST_F(PollCyclePart, AsksTheRelayWordOnTheWriteTickAndTheInputStepAfterTheRead)
{
    poll.setPortOut(0x0001);
    relayBits = 0x0004;
    inputRelays = 0x8000;
    poll.activate();
    EXPECT_TRUE(poll.SystemActive());
    EXPECT_EQ(poll.CommState(), board::CommState::RelayWrite);

    poll.sendingStep();
    EXPECT_EQ(calls, QStringList{QStringLiteral("relay word 1")});
    ASSERT_EQ(link.written, QList<QByteArray>{"R0005\r"});
    EXPECT_EQ(poll.RelayCommand(), QByteArray("R0005\r"));

    link.receive("R0005\r\n#");
    EXPECT_EQ(poll.CommState(), board::CommState::InputRead);
    EXPECT_EQ(poll.LastPortOut(), 0x0005);
    poll.sendingStep();
    EXPECT_EQ(link.written.last(), QByteArray("I0\r"));
    EXPECT_EQ(calls.size(), 1);

    link.receive("I0\r\n11\r\n#");
    EXPECT_EQ(calls,
              (QStringList{QStringLiteral("relay word 1"), QStringLiteral("input read 9 5")}));
    EXPECT_EQ(poll.PortIn(), 9);
    EXPECT_EQ(poll.LastPortIn(), 9);
    EXPECT_EQ(view.inputWord, 9);
    EXPECT_EQ(poll.PortOut(), 0x8000);
    EXPECT_EQ(poll.CommState(), board::CommState::RelayWrite);
    EXPECT_TRUE(poll.RxText().isEmpty());
    EXPECT_TRUE(view.boxes.isEmpty());
}

TEST_F(PollCyclePart, FaultyTimeDataStopsTheCycleBeforeTheCommand)
{
    timeDataGood = false;
    poll.activate();
    poll.sendingStep();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("relay word 0"), QStringLiteral("reset")}));
    EXPECT_TRUE(link.written.isEmpty());
    EXPECT_FALSE(poll.SystemActive());
    EXPECT_EQ(poll.CommState(), board::CommState::Idle);
    EXPECT_EQ(view.status[1], QStringLiteral("System error..."));
    EXPECT_EQ(view.boxTexts(), QStringList{QStringLiteral("Fatal error in time data.")});
}

TEST_F(PollCyclePart, TheResetHookRunsOnTheClearedStateBeforeTheIndicators)
{
    poll.setPortOut(0x0003);
    poll.activate();
    EXPECT_FALSE(view.relaysIdle);
    poll.ResetSerial();
    EXPECT_EQ(calls, QStringList{QStringLiteral("reset")});
    EXPECT_FALSE(activeAtReset);
    EXPECT_FALSE(idleShownAtReset);
    EXPECT_TRUE(view.relaysIdle);
    EXPECT_EQ(poll.PortOut(), 0);
    EXPECT_FALSE(view.lamp(View::Lamp::Activate));
}

TEST_F(PollCyclePart, AClosingReadAsksNoHookAndSendsAllOff)
{
    poll.setPortOut(0x0010);
    poll.activate();
    poll.sendingStep();
    link.receive(poll.RelayCommand() + board::kEchoTail);
    poll.requestClose();
    link.receive("I0\r\n11\r\n#");
    EXPECT_EQ(calls, QStringList{QStringLiteral("relay word 16")});
    EXPECT_EQ(poll.CommState(), board::CommState::Closing);
    EXPECT_EQ(link.written.last(), board::kAllOff);
    EXPECT_EQ(poll.PortOut(), 0);
    EXPECT_EQ(poll.PortIn(), 0);

    link.receive(board::kAllOff + board::kEchoTail);
    EXPECT_EQ(calls.last(), QStringLiteral("reset"));
    EXPECT_EQ(poll.CommState(), board::CommState::Idle);
    EXPECT_EQ(view.status[1], QStringLiteral("System closed"));
}

TEST_F(PollCyclePart, TheWatchdogResetsASilentBoard)
{
    poll.activate();
    for (int i = 0; i < board::PollCycle::kWatchdogTicks; ++i)
        poll.sendingStep();
    EXPECT_EQ(calls.last(), QStringLiteral("reset"));
    EXPECT_EQ(poll.CommState(), board::CommState::Idle);
    EXPECT_EQ(poll.NoReplyTicks(), 0);
    EXPECT_EQ(view.status[1], QStringLiteral("Ready"));
    EXPECT_EQ(view.boxTexts(),
              QStringList{QStringLiteral(
                  "The board is not responding.\rPlease check port, connections and power.\r")});
}

namespace {

// Runs a cycle up to the all-off command, leaving the cycle in Closing.
void closeCycle(board::PollCycle& poll, FakeLink& link)
{
    poll.activate();
    poll.sendingStep();
    link.receive(poll.RelayCommand() + board::kEchoTail);
    poll.requestClose();
    poll.sendingStep();
    link.receive("I0\r\n11\r\n#");
}

} // namespace

// Closing, fewer than 8 characters: the all-off echo is still collected,
// and nothing else happens until it is whole.
TEST_F(PollCyclePart, ClosingKeepsCollectingAShortAllOffEcho)
{
    closeCycle(poll, link);
    ASSERT_EQ(poll.CommState(), board::CommState::Closing);
    const auto sent = link.written.size();
    link.receive("R00");
    link.receive("00\r\n");
    EXPECT_EQ(poll.CommState(), board::CommState::Closing);
    EXPECT_EQ(poll.RxText(), QByteArray("R0000\r\n"));
    EXPECT_TRUE(poll.SystemActive());
    link.receive("#");
    EXPECT_EQ(poll.CommState(), board::CommState::Idle);
    EXPECT_EQ(view.status[1], QStringLiteral("System closed"));
    EXPECT_EQ(link.written.size(), sent);
    EXPECT_TRUE(view.boxes.isEmpty());
}

// Closing, more than 8 characters: invalid data, even when the text begins
// with the right echo.
TEST_F(PollCyclePart, ClosingWithMoreThanTheAllOffEchoIsInvalidData)
{
    closeCycle(poll, link);
    ASSERT_EQ(poll.CommState(), board::CommState::Closing);
    link.receive(board::kAllOff + board::kEchoTail + "#");
    EXPECT_EQ(poll.CommState(), board::CommState::Idle);
    EXPECT_FALSE(poll.SystemActive());
    EXPECT_TRUE(poll.RxText().isEmpty());
    EXPECT_EQ(poll.LastFailure(), board::PollCycle::Failure::InvalidData);
    EXPECT_EQ(view.status[1], QStringLiteral("Comms error..."));
    EXPECT_EQ(view.boxTexts(), QStringList{QStringLiteral("Error: Invalid data received")});
}

TEST_F(PollCyclePart, ObserversAreToldInTheOrderTheySubscribedAndMayLeaveMidway)
{
    using Observation = board::PollCycle::Observation;
    QStringList told;
    int second = 0;
    int third = 0;
    int late = 0;
    const int first = poll.subscribe([&](Observation what, int, int portOut) {
        told.append(QStringLiteral("first %1").arg(portOut));
        // Leaving inside a notification: the one after it is not told
        // again, not even of this observation.
        if (what == Observation::RelayEcho && second != 0) {
            poll.unsubscribe(std::exchange(second, 0));
            late =
                poll.subscribe([&](Observation, int, int) { told.append(QStringLiteral("late")); });
        }
    });
    second = poll.subscribe([&](Observation, int, int) { told.append(QStringLiteral("second")); });
    third = poll.subscribe([&](Observation what, int portIn, int) {
        told.append(QStringLiteral("third %1").arg(portIn));
        // And the one being told leaves itself.
        if (what == Observation::InputRead)
            poll.unsubscribe(third);
    });

    poll.setPortOut(0x0003);
    poll.activate();
    poll.sendingStep();
    link.receive("R0003\r\n#");
    EXPECT_EQ(told, (QStringList{QStringLiteral("first 3"), QStringLiteral("third 0")}));

    told.clear();
    poll.sendingStep();
    link.receive("I0\r\n11\r\n#");
    EXPECT_EQ(told, (QStringList{QStringLiteral("first 0"), QStringLiteral("third 9"),
                                 QStringLiteral("late")}));

    told.clear();
    poll.unsubscribe(first);
    poll.unsubscribe(late);
    poll.unsubscribe(third);
    poll.sendingStep();
    link.receive("R0000\r\n#");
    EXPECT_TRUE(told.isEmpty());
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/signaltrace.h"
#include "support/rig.h"

#include <gtest/gtest.h>

namespace {

const QString kNotResponding =
    QStringLiteral("The board is not responding.\rPlease check port, connections and power.\r");
const QString kInvalid = QStringLiteral("Error: Invalid data received");

class PollCycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        rig.view.boxes.clear();
    }
    // Activates and sends the first relay command.
    void activate()
    {
        rig.core.ActiveButtClick();
        rig.tick();
    }
    void expectIdleAfter(const QString& box, const QString& status)
    {
        EXPECT_FALSE(rig.core.poll().SystemActive());
        EXPECT_EQ(rig.core.poll().CommState(), board::CommState::Idle);
        EXPECT_TRUE(rig.core.poll().RxText().isEmpty());
        ASSERT_EQ(rig.view.boxes.size(), 1);
        EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Error"));
        EXPECT_EQ(rig.view.boxes.at(0).text, box);
        EXPECT_EQ(rig.view.status[1], status);
        EXPECT_TRUE(rig.view.relaysIdle);
    }

    Rig rig;
};

TEST_F(PollCycle, WritesRelaysAndReadsInputsInTurn)
{
    activate();
    EXPECT_EQ(rig.view.status[1], QStringLiteral("System opened"));
    ASSERT_EQ(rig.link.written, QList<QByteArray>{"R0000\r"});
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::RelayWrite);

    rig.link.receive("R0000\r\n#");
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::InputRead);
    rig.tick();
    EXPECT_EQ(rig.link.written.last(), QByteArray("I0\r"));

    rig.link.receive("I0\r\n11\r\n#");
    EXPECT_EQ(rig.core.poll().PortIn(), 9);
    EXPECT_EQ(rig.core.poll().LastPortIn(), 9);
    EXPECT_EQ(rig.view.inputWord, 9);
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::RelayWrite);
    EXPECT_TRUE(rig.core.poll().RxText().isEmpty());
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(PollCycle, ACommandIsSentAgainOnEveryTickUntilTheStateAdvances)
{
    activate();
    rig.tick();
    rig.tick();
    EXPECT_EQ(rig.link.count("R0000\r"), 3);
}

TEST_F(PollCycle, RepliesInPiecesAreCollectedUntilTheirLength)
{
    rig.core.requestRelays(0x8001, 0xFFFF, Controller::Source::Manual);
    activate();
    EXPECT_EQ(rig.link.written.last(), QByteArray("R8001\r"));
    rig.link.receive("R8");
    rig.link.receive("001\r");
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::RelayWrite);
    rig.link.receive("\n#");
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::InputRead);
    EXPECT_EQ(rig.view.relayWord, 0x8001);
    EXPECT_FALSE(rig.view.relaysIdle);

    rig.tick();
    for (const char* piece : {"I", "0\r\n", "F8", "\r", "\n#"})
        rig.link.receive(piece);
    EXPECT_EQ(rig.core.poll().PortIn(), 0x38);
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::RelayWrite);
}

TEST_F(PollCycle, RelayIndicatorsFollowOnlyAConfirmedChange)
{
    rig.activateAndCycle(1);
    const int redraws = rig.view.relayRedraws;
    rig.cycle(1); // no change of PortOut: no redraw
    EXPECT_EQ(rig.view.relayRedraws, redraws);
    rig.core.requestRelays(0x0010, 0xFFFF, Controller::Source::Manual);
    rig.tick();
    EXPECT_EQ(rig.view.relayRedraws, redraws);
    rig.link.deliver();
    EXPECT_EQ(rig.view.relayRedraws, redraws + 1);
    EXPECT_EQ(rig.core.poll().LastPortOut(), 0x0010);
}

TEST_F(PollCycle, InvalidReplies)
{
    struct Case
    {
        const char* name;
        int portOut;
        QByteArray echo;       // reply in state 1
        QByteArray inputReply; // reply in state 2, when the echo was good
    };
    const QList<Case> cases{
        {"echo differs", 0, "R0001\r\n#", {}},
        {"echo with a lower-case digit", 0x00A5, "R00a5\r\n#", {}},
        {"echo too long", 0, "R0000\r\n#X", {}},
        {"input reply with a lower-case digit", 0, "R0000\r\n#", "I0\r\n1a\r\n#"},
        {"input reply with a bad head", 0, "R0000\r\n#", "I1\r\n11\r\n#"},
        {"input reply with a bad tail", 0, "R0000\r\n#", "I0\r\n11\n\r#"},
        {"input reply too long", 0, "R0000\r\n#", "I0\r\n11\r\n##"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig fresh;
        fresh.startUp();
        fresh.core.requestRelays(static_cast<quint16>(c.portOut), 0xFFFF,
                                 Controller::Source::Manual);
        fresh.core.ActiveButtClick();
        fresh.tick();
        fresh.link.receive(c.echo);
        if (!c.inputReply.isEmpty()) {
            ASSERT_EQ(fresh.core.poll().CommState(), board::CommState::InputRead);
            fresh.tick();
            fresh.link.receive(c.inputReply);
        }
        EXPECT_FALSE(fresh.core.poll().SystemActive());
        EXPECT_EQ(fresh.core.poll().CommState(), board::CommState::Idle);
        EXPECT_TRUE(fresh.core.poll().RxText().isEmpty());
        EXPECT_EQ(fresh.view.boxTexts(), QStringList{kInvalid});
        EXPECT_EQ(fresh.view.status[1], QStringLiteral("Comms error..."));
        EXPECT_EQ(fresh.core.poll().PortOut(), 0);
    }
}

TEST_F(PollCycle, ALateBoardMakesTheTextTooLong)
{
    activate();
    rig.tick(); // no reply within the tick: the command goes out again
    rig.link.receive("R0000\r\n#R0000\r\n#");
    expectIdleAfter(kInvalid, QStringLiteral("Comms error..."));
}

TEST_F(PollCycle, IdlePromptAndLeftovers)
{
    rig.link.receive("\r\n#");
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Board online..."));
    EXPECT_TRUE(rig.core.poll().RxText().isEmpty());

    rig.link.receive("garbage");
    EXPECT_TRUE(rig.core.poll().RxText().isEmpty());
    EXPECT_TRUE(rig.view.boxes.isEmpty());

    // One to three other characters stay while idle, as the start of a
    // prompt, but activation drops them: the first echo is judged alone.
    rig.link.receive("\r\n");
    EXPECT_EQ(rig.core.poll().RxText(), QByteArray("\r\n"));
    activate();
    EXPECT_TRUE(rig.core.poll().RxText().isEmpty());
    rig.link.receive("R0000\r\n#");
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::InputRead);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

// Bytes on the port whose notification has not run yet when Activate is
// clicked (the port was opened a moment ago) are let in as the idle state
// lets them in, not taken for the start of the first echo.
TEST_F(PollCycle, WhatWaitsUnreadAtActivationIsJudgedAsIdle)
{
    rig.link.arrive("\r\n#");
    rig.core.ActiveButtClick();
    EXPECT_EQ(rig.view.statusHistory[1].mid(rig.view.statusHistory[1].size() - 2),
              (QStringList{QStringLiteral("Board online..."), QStringLiteral("System opened")}));
    rig.cycle(1);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    rig.core.ActiveButtClick();
    rig.cycle(2);
    ASSERT_EQ(rig.view.status[1], QStringLiteral("System closed"));

    rig.link.autoReply = false;
    rig.link.arrive("\xFF");
    activate();
    EXPECT_TRUE(rig.core.poll().RxText().isEmpty());
    rig.link.receive("R0000\r\n#");
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::InputRead);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

// The program was held up right after it wrote (a loaded machine): when the
// tick comes, the board's answer waits unread and its notification has not
// run. The answer is judged before anything is sent.
TEST_F(PollCycle, AReplyWaitingUnreadWhenTheTickComesIsJudgedFirst)
{
    activate();
    rig.link.arrive("R0000\r\n#");
    rig.tick(std::chrono::milliseconds(150));
    EXPECT_EQ(rig.link.written, (QList<QByteArray>{"R0000\r", "I0\r"}));
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::InputRead);
    EXPECT_EQ(rig.core.poll().NoReplyTicks(), 1);
    // Its notification comes late and finds nothing left.
    rig.link.receive({});

    rig.link.arrive("I0\r\n11\r\n#");
    rig.tick(std::chrono::milliseconds(150));
    EXPECT_EQ(rig.core.poll().PortIn(), 9);
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0000\r"));
    EXPECT_EQ(rig.link.written.size(), 3);

    // A reply that is wrong is still wrong, and nothing more goes out.
    rig.link.arrive("R0001\r\n#");
    rig.tick(std::chrono::milliseconds(150));
    EXPECT_EQ(rig.link.written.size(), 3);
    expectIdleAfter(kInvalid, QStringLiteral("Comms error..."));
}

// A late tick is followed by one that catches up, sooner than a tick: the
// command sent on the late one is not sent again on it. A tick that is only
// a little early after its late predecessor still counts as whole.
TEST_F(PollCycle, ACommandIsSentAgainOnlyAWholeTickAfterItWentOut)
{
    using std::chrono::milliseconds;
    activate();
    rig.link.receive("R0000\r\n#");
    rig.tick(milliseconds(150)); // late: the input query goes out
    rig.tick(milliseconds(50));  // catching up
    EXPECT_EQ(rig.link.count("I0\r"), 1);
    EXPECT_EQ(rig.core.poll().NoReplyTicks(), 2);
    rig.link.receive("I0\r\n11\r\n#");
    EXPECT_TRUE(rig.view.boxes.isEmpty());

    rig.tick(milliseconds(150)); // late again: the relay command goes out
    rig.tick(milliseconds(50));
    EXPECT_EQ(rig.link.count("R0000\r"), 2);
    rig.tick(milliseconds(100));
    EXPECT_EQ(rig.link.count("R0000\r"), 3);
    // A tick a little early, as a timer's jitter makes it, still counts.
    rig.tick(Controller::kTickPeriod - board::PollCycle::kTickAllowance);
    EXPECT_EQ(rig.link.count("R0000\r"), 4);
}

// A board that floods the line: one notification reads no more than the
// input queue holds, and the text, far too long, is invalid data at once.
TEST_F(PollCycle, ANotificationReadsAtMostOneInputQueue)
{
    activate();
    rig.link.receive(QByteArray(5000, '?'));
    EXPECT_EQ(rig.link.waiting(), 5000 - board::PollCycle::kReadLimit);
    expectIdleAfter(kInvalid, QStringLiteral("Comms error..."));

    // While idle, each notification drops what it read.
    rig.link.receive({});
    EXPECT_EQ(rig.link.waiting(), 5000 - 2 * board::PollCycle::kReadLimit);
    EXPECT_TRUE(rig.core.poll().RxText().isEmpty());
    EXPECT_EQ(rig.view.boxes.size(), 1);
}

TEST_F(PollCycle, WatchdogFiresOnceAfterFifteenSilentTicks)
{
    activate(); // tick 1
    for (int i = 2; i <= 14; ++i)
        rig.tick();
    EXPECT_TRUE(rig.core.poll().SystemActive());
    EXPECT_EQ(rig.link.written.size(), 14);
    rig.tick(); // tick 15: nothing sent
    EXPECT_EQ(rig.link.written.size(), 14);
    expectIdleAfter(kNotResponding, QStringLiteral("Ready"));
    EXPECT_TRUE(rig.view.statusHistory[1].contains(QStringLiteral("Comms error...")));
    for (int i = 0; i < 30; ++i)
        rig.tick();
    EXPECT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.link.written.size(), 14);
}

// The watcher sees every echo and input read of a running cycle, and the
// watchdog at the very tick it fires, with the words it fired on; a trace
// fed from it marks the fault there.
TEST_F(PollCycle, TheObserverSeesReadsEchoesAndTheWatchdogTick)
{
    using Observation = board::PollCycle::Observation;
    SignalTrace trace;
    QList<Observation> seen;
    rig.core.poll().subscribe([&](Observation what, int portIn, int portOut) {
        seen.append(what);
        const qint64 now = rig.clock.now().toMSecsSinceEpoch();
        if (what == Observation::InputRead)
            trace.addInputs(now, portIn);
        else if (what == Observation::RelayEcho)
            trace.addRelays(now, portOut);
        else
            trace.addFault(now, SignalTrace::Kind::Watchdog);
    });
    rig.link.autoReply = true;
    activate();
    rig.link.deliver();
    rig.clock.advanceMs(100);
    rig.tick();
    rig.link.deliver();
    EXPECT_EQ(seen, (QList<Observation>{Observation::RelayEcho, Observation::InputRead}));

    rig.link.autoReply = false;
    qint64 fired = 0;
    for (int i = 1; i <= Controller::kWatchdogTicks; ++i) {
        rig.clock.advanceMs(100);
        fired = rig.clock.now().toMSecsSinceEpoch();
        rig.tick();
    }
    EXPECT_FALSE(rig.core.poll().SystemActive());
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen.last(), Observation::Watchdog);
    const QList<SignalTrace::Entry> faults = trace.faults(0, fired + 1000);
    ASSERT_EQ(faults.size(), 1);
    EXPECT_EQ(faults.at(0).ms, fired);
}

TEST_F(PollCycle, AnyNotificationFeedsTheWatchdog)
{
    activate();
    for (int i = 0; i < 40; ++i) {
        rig.tick();
        rig.link.receive({}); // a notification with nothing to read
    }
    EXPECT_TRUE(rig.core.poll().SystemActive());
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(PollCycle, DeactivationSendsOneAllOffAfterTheNextInputReply)
{
    rig.activateAndCycle(2);
    rig.link.autoReply = false;
    rig.core.requestRelays(0x0003, 0xFFFF, Controller::Source::Manual);
    rig.core.ActiveButtClick(); // request
    EXPECT_TRUE(rig.core.poll().CloseRequested());
    EXPECT_TRUE(rig.core.poll().SystemActive());

    rig.tick();
    rig.link.receive("R0003\r\n#");
    rig.tick();
    rig.link.receive("I0\r\n77\r\n#"); // not decoded
    EXPECT_EQ(rig.core.poll().PortIn(), 0);
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::Closing);
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
    EXPECT_EQ(rig.link.count("R0000\r"), 3); // 2 cycle writes + the all-off
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0000\r"));

    for (int i = 0; i < 5; ++i)
        rig.tick(); // closing: nothing more is sent
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0000\r"));
    const auto sent = rig.link.written.size();
    rig.link.receive("R0000\r\n#");
    EXPECT_EQ(rig.link.written.size(), sent);
    EXPECT_FALSE(rig.core.poll().SystemActive());
    EXPECT_EQ(rig.core.poll().CommState(), board::CommState::Idle);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("System closed"));
    EXPECT_FALSE(rig.view.lamp(View::Lamp::Activate));
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(PollCycle, AWrongAllOffEchoIsInvalid)
{
    rig.activateAndCycle(1);
    rig.link.autoReply = false;
    rig.core.ActiveButtClick();
    rig.tick();
    rig.link.receive("R0000\r\n#");
    rig.tick();
    rig.link.receive("I0\r\n00\r\n#");
    ASSERT_EQ(rig.core.poll().CommState(), board::CommState::Closing);
    rig.link.receive("R0001\r\n#");
    expectIdleAfter(kInvalid, QStringLiteral("Comms error..."));
}

TEST_F(PollCycle, ActivationWithNoPortEndsInTheWatchdog)
{
    rig.core.ActiveButtClick();
    for (int i = 0; i < 15; ++i)
        rig.tick();
    expectIdleAfter(kNotResponding, QStringLiteral("Ready"));
}

// A device that hung up leaves the port open but dead: Activate opens the
// same port again before it starts, and the system stays idle when the
// device is not back.
TEST_F(PollCycle, ActivationAfterAHangUpOpensThePortAgain)
{
    rig.core.OpenSerialPort(QStringLiteral("3"));
    rig.activateAndCycle(1);
    rig.link.hangUp();
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM x"));
    rig.link.autoReply = false;
    for (int i = 0; i < Controller::kWatchdogTicks; ++i)
        rig.tick();
    expectIdleAfter(kNotResponding, QStringLiteral("Ready"));

    rig.view.boxes.clear();
    rig.link.openSucceeds = false;
    rig.core.ActiveButtClick();
    EXPECT_EQ(rig.view.boxTexts(),
              QStringList{QStringLiteral("There appears to be a problem accessing the COM Port")});
    EXPECT_FALSE(rig.core.poll().SystemActive());

    rig.view.boxes.clear();
    rig.link.openSucceeds = true;
    const int opens = rig.link.opens;
    rig.core.ActiveButtClick();
    EXPECT_EQ(rig.link.opens, opens + 1);
    EXPECT_EQ(rig.link.Port(), 3);
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM 3"));
    rig.cycle(1);
    EXPECT_TRUE(rig.core.poll().SystemActive());
    EXPECT_TRUE(rig.view.boxes.isEmpty());

    // Once open again, activation opens nothing.
    rig.core.ActiveButtClick();
    rig.cycle(2);
    rig.core.ActiveButtClick();
    EXPECT_EQ(rig.link.opens, opens + 1);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The one entry of the relay word: every source of the controller passes
// Controller::requestRelays with its name and the relays it sets, in the
// order the cycle runs them, and what the entry's hook makes of a request
// is what is stored and sent.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace {

using Source = Controller::Source;

struct Request
{
    Source source;
    quint16 mask;
    quint16 word;
    bool operator==(const Request&) const = default;
};

class RelayRequests : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        rig.core.setRelayRequestHook([this](Source source, quint16 mask, quint16& word) {
            seen.append({source, mask, word});
            if (source == Source::Rules)
                word &= static_cast<quint16>(~vetoedByRules);
        });
    }

    Rig rig;
    QList<Request> seen;
    // Relays the hook keeps off whatever the rules ask.
    quint16 vetoedByRules = 0;
};

} // namespace

TEST_F(RelayRequests, TimersRulesAndTheButtonsAllPassTheOneEntryInTheCyclesOrder)
{
    // Relay 5 by a record whose window is open, relay 2 by input 1.
    rig.clock.set(QDateTime(QDate(2014, 7, 3), QTime(17, 30, 1), Qt::UTC));
    rig.core.timers().setTimerList(
        {"05", "41823.7291666667", "41823.75", "0", "0", "0000000", "0", "0", "0"});
    rig.core.TimerSBClick();
    rig.core.rules().setRulesList({QStringLiteral("1H=02H")});
    rig.core.InputRulesSBClick();
    rig.link.inputDigits = "01";

    rig.activateAndCycle(1);
    // The timers' request comes last before the first command, the rules'
    // after the read; a pass that switches nothing still passes.
    EXPECT_EQ(seen,
              (QList<Request>{{Source::Timers, 0x0010, 0x0010}, {Source::Rules, 0x0002, 0x0012}}));
    rig.tick();
    EXPECT_EQ(seen.last(), (Request{Source::Timers, 0x0000, 0x0012}));
    EXPECT_EQ(rig.core.poll().RelayCommand(), QByteArray("R0012\r"));
    rig.link.deliver();

    seen.clear();
    rig.core.SpeedButton1Click(0);
    EXPECT_TRUE(seen.isEmpty());
    rig.core.WriteButtClick();
    rig.core.SetAllButtClick();
    rig.core.ClearAllButtClick();
    EXPECT_EQ(seen, (QList<Request>{{Source::Manual, 0xFFFF, 0x0001},
                                    {Source::SetAll, 0xFFFF, 0xFFFF},
                                    {Source::ClearAll, 0xFFFF, 0x0000}}));
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
}

TEST_F(RelayRequests, WhatTheHookMakesOfARequestIsStoredAndSent)
{
    rig.core.rules().setRulesList({QStringLiteral("1H=02H03H")});
    rig.core.InputRulesSBClick();
    rig.link.inputDigits = "01";
    vetoedByRules = 0x0002;

    rig.activateAndCycle(1);
    EXPECT_EQ(seen.last(), (Request{Source::Rules, 0x0006, 0x0006}));
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0004);
    rig.tick();
    EXPECT_EQ(rig.core.poll().RelayCommand(), QByteArray("R0004\r"));

    // Only the relays of the mask change: the others keep their bits.
    rig.core.requestRelays(0x0100, 0x0300, Source::Service);
    EXPECT_EQ(seen.last(), (Request{Source::Service, 0x0300, 0x0104}));
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0104);
}

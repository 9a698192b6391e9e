// SPDX-License-Identifier: GPL-3.0-or-later
// The relay guard on its own: who wins in an interlock group, the dead time
// between two relays of a group, the maximum on-time and what switches a
// relay cut at its limit on again, and which hold-offs are told.
#include "safety/relayguard.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using safety::BoardSettings;
using safety::RelayGuard;
using Ask = RelayGuard::Ask;

BoardSettings settingsOf(std::initializer_list<std::pair<const char*, const char*>> lines)
{
    BoardSettings settings;
    for (const auto& [key, value] : lines)
        EXPECT_EQ(
            safety::SetBoardSetting(settings, QString::fromLatin1(key), QString::fromLatin1(value)),
            QString());
    return settings;
}

// The guard between the writer and the wire, on a clock of its own: the
// stored word and what each relay write sent.
class Guarded : public ::testing::Test
{
protected:
    void use(const BoardSettings& settings) { guard.setSettings(settings); }
    // A request of the relays of mask, as the one writer makes it.
    void ask(quint16 word, quint16 mask, Ask how = Ask::Once)
    {
        stored = guard.admit(how, mask, stored,
                             static_cast<quint16>((stored & ~mask) | (word & mask)), now);
        told += guard.reports();
    }
    // One poll cycle on: the relay write.
    quint16 write(std::chrono::milliseconds after = 200ms)
    {
        now += after;
        stored = guard.release(stored, now);
        told += guard.reports();
        return stored;
    }

    RelayGuard guard;
    RelayGuard::time_point now{};
    quint16 stored = 0;
    QStringList told;
};

TEST_F(Guarded, WithoutSettingsEveryRequestGoesThroughAsAsked)
{
    ask(0xFFFF, 0xFFFF);
    EXPECT_EQ(write(), 0xFFFF);
    ask(0x0003, 0x00FF, Ask::EveryCycle);
    EXPECT_EQ(write(24h), 0xFF03);
    EXPECT_TRUE(told.isEmpty());
}

TEST_F(Guarded, InAGroupTheRelayOnKeepsOnAndAmongNewOnesTheLowestWins)
{
    use(settingsOf({{"interlock", "01,02 03,04,05"}, {"relay-02-name", "Blind down"}}));
    ask(0x001E, 0xFFFF); // 02, 03, 04, 05 at once
    EXPECT_EQ(write(), 0x0006);
    EXPECT_EQ(told, (QStringList{"relay 04 held off: interlock with 03",
                                 "relay 05 held off: interlock with 03"}));
    told.clear();
    // 01 is new, 02 is on: 02 keeps on. Relays outside the groups go free.
    ask(0x0103, 0xFFFF);
    EXPECT_EQ(write(), 0x0102);
    EXPECT_EQ(told, QStringList{"relay 01 held off: interlock with 02 (Blind down)"});
    // A request that leaves the group alone does not touch it.
    told.clear();
    ask(0x8000, 0x8000);
    EXPECT_EQ(write(), 0x8102);
    EXPECT_TRUE(told.isEmpty());
    // Two requests before a write: the earlier one is on by then.
    ask(0x0000, 0x0006);
    ask(0x0004, 0x0004);
    ask(0x0008, 0x0008);
    EXPECT_EQ(stored, 0x8104);
}

TEST_F(Guarded, AGroupThatComesWithNewSettingsWhileBothAreOnKeepsOneAtTheNextWrite)
{
    ask(0x0003, 0x0003);
    EXPECT_EQ(write(), 0x0003);
    use(settingsOf({{"interlock", "01,02"}}));
    EXPECT_EQ(write(), 0x0001);
    EXPECT_EQ(told, QStringList{"relay 02 held off: interlock with 01"});
}

TEST_F(Guarded, AfterARelayGoesOffItsGroupWaitsTheDeadTimeOnTheWire)
{
    use(settingsOf({{"interlock", "01,02"}, {"interlock-dead-time", "0.5s"}}));
    ask(0x0001, 0x0003);
    EXPECT_EQ(write(), 0x0001);
    // Reversing: 01 off goes out at once, 02 waits half a second from then.
    ask(0x0002, 0x0003);
    EXPECT_EQ(stored, 0x0000);
    EXPECT_EQ(guard.waiting(), 0x0002);
    EXPECT_EQ(told, QStringList{"relay 02 held off: dead time after 01"});
    EXPECT_EQ(write(), 0x0000);
    EXPECT_EQ(write(200ms), 0x0000);
    EXPECT_EQ(write(299ms), 0x0000);
    EXPECT_EQ(write(1ms), 0x0002);
    EXPECT_EQ(guard.waiting(), 0);
    // A waiting relay asked off again does not come on.
    ask(0x0001, 0x0003);
    EXPECT_EQ(write(), 0x0000);
    ask(0x0000, 0x0001);
    EXPECT_EQ(write(1s), 0x0000);
    // Switching one relay off and on again is no change of direction.
    ask(0x0001, 0x0001);
    EXPECT_EQ(write(), 0x0001);
    ask(0x0000, 0x0001);
    EXPECT_EQ(write(), 0x0000);
    ask(0x0001, 0x0001);
    EXPECT_EQ(write(), 0x0001);
}

TEST_F(Guarded, AWaitingRelayYieldsToOneOfItsGroupOnBeforeItsTurn)
{
    use(settingsOf({{"interlock", "01,02"}, {"interlock-dead-time", "1s"}}));
    ask(0x0002, 0x0003);
    write();
    ask(0x0001, 0x0003); // 02 off, 01 waits
    write();
    // The rules ask 02 on again before 01's turn: 02 went off, but no other
    // relay of the group did, so it is on at once, and 01 gives way.
    ask(0x0002, 0x0002, Ask::EveryCycle);
    EXPECT_EQ(stored, 0x0002);
    told.clear();
    EXPECT_EQ(write(1s), 0x0002);
    EXPECT_EQ(guard.waiting(), 0);
    EXPECT_EQ(told, QStringList{"relay 01 held off: interlock with 02"});
}

TEST_F(Guarded, ARelayPastItsMaximumOnTimeIsCutWithinOneCycleAndStaysOff)
{
    use(settingsOf({{"relay-05-max-on", "2s"}, {"relay-06-max-on", "2s"}}));
    // 05 by a rule that stays true, 06 by a click.
    ask(0x0010, 0x0010, Ask::EveryCycle);
    ask(0x0020, 0x0020);
    EXPECT_EQ(write(), 0x0030); // on at t
    for (int cycle = 0; cycle < 9; ++cycle) {
        ask(0x0010, 0x0010, Ask::EveryCycle);
        EXPECT_EQ(write(), 0x0030) << cycle; // up to t + 1.8 s
    }
    EXPECT_EQ(write(), 0x0000); // t + 2.0 s, the first write at the limit
    EXPECT_EQ(told, (QStringList{"relay 05 switched off: on for 2s, its maximum on-time",
                                 "relay 06 switched off: on for 2s, its maximum on-time"}));
    told.clear();
    // The rule that goes on asking does not switch it on again, and the
    // cut-off, told once, is not told again on every cycle...
    for (int cycle = 0; cycle < 3; ++cycle) {
        ask(0x0010, 0x0010, Ask::EveryCycle);
        EXPECT_EQ(write(), 0x0000);
    }
    EXPECT_TRUE(told.isEmpty());
    // ...its output going off and on again does, and so does a click.
    ask(0x0000, 0x0010, Ask::EveryCycle);
    ask(0x0010, 0x0010, Ask::EveryCycle);
    ask(0x0020, 0x0020);
    EXPECT_EQ(write(), 0x0030);
}

TEST_F(Guarded, ARelayGivenBackAfterAFaultGoesOnCountingItsOnTime)
{
    use(settingsOf({{"relay-01-max-on", "1min"}, {"interlock", "02,03"}}));
    ask(0x0003, 0x0003);
    write();
    now += 40s;
    guard.boardReset(now);
    stored = 0;
    // The board may have held both all along: 01 keeps its 40 s, and 03
    // waits the dead time after 02, which counts as off since the fault.
    ask(0x0005, 0xFFFF);
    EXPECT_EQ(guard.waiting(), 0x0004);
    EXPECT_EQ(write(100ms), 0x0001);
    EXPECT_EQ(write(19s), 0x0005);
    // A minute after it first went on, not after it was given back.
    EXPECT_EQ(write(1s), 0x0004);
}

TEST_F(Guarded, TheRulesHoldOffsAreToldOncePerChangeAndClicksEveryTime)
{
    use(settingsOf({{"interlock", "01,02"}}));
    for (int cycle = 0; cycle < 3; ++cycle) {
        ask(0x0003, 0x0003, Ask::EveryCycle);
        write();
    }
    EXPECT_EQ(told, QStringList{"relay 02 held off: interlock with 01"});
    told.clear();
    ask(0x0003, 0xFFFF);
    ask(0x0003, 0xFFFF);
    EXPECT_EQ(told, (QStringList{"relay 02 held off: interlock with 01",
                                 "relay 02 held off: interlock with 01"}));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The board's safety settings at the controller's one writer: every source
// of the relay word is held to the interlocks and maximum on-times, what is
// held back is told in the message panel, the relay commands carry what was
// let through, and the inputs are debounced before the rules see them.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Source = Controller::Source;

safety::BoardSettings settingsOf(std::initializer_list<std::pair<const char*, const char*>> lines)
{
    safety::BoardSettings settings;
    for (const auto& [key, value] : lines)
        EXPECT_EQ(
            safety::SetBoardSetting(settings, QString::fromLatin1(key), QString::fromLatin1(value)),
            QString());
    return settings;
}

class RelaySafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        rig.core.setBoardSettings(settingsOf({{"interlock", "01,02"},
                                              {"relay-01-name", "Blind up"},
                                              {"relay-05-max-on", "1s"},
                                              {"input-1-debounce", "3"}}));
    }
    // The relay command of the next relay write, its cycle completed.
    QByteArray nextCommand()
    {
        rig.cycle(1);
        return rig.link.written.at(rig.link.written.size() - 2);
    }
    const QString& message() const { return rig.view.status[1]; }

    Rig rig;
};

} // namespace

TEST_F(RelaySafety, EverySourceIsHeldToTheInterlockAndToldWhy)
{
    rig.activateAndCycle(1);
    const QString held = QStringLiteral("relay 02 held off: interlock with 01 (Blind up)");
    // WRITE with both relays of the group: the lower one goes on.
    rig.core.SpeedButton1Click(0);
    rig.core.SpeedButton1Click(1);
    rig.core.WriteButtClick();
    EXPECT_EQ(message(), held);
    EXPECT_EQ(nextCommand(), QByteArray("R0001\r"));
    EXPECT_EQ(rig.view.relayWord, 0x0001);

    for (const Source source : {Source::Mqtt, Source::Service, Source::Manual}) {
        rig.view.status[1].clear();
        rig.core.requestRelays(0x0002, 0x0002, source);
        EXPECT_EQ(message(), held);
        EXPECT_EQ(nextCommand(), QByteArray("R0001\r"));
    }

    // The rules ask on every read: told once, held every cycle.
    rig.core.rules().setRulesList({QStringLiteral("1L=02H")});
    rig.core.InputRulesSBClick();
    rig.view.statusHistory[1].clear();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(nextCommand(), QByteArray("R0001\r"));
    EXPECT_EQ(rig.view.statusHistory[1].count(held), 1);
}

TEST_F(RelaySafety, TheTimersAreHeldLikeEveryOtherSource)
{
    // A record for relay 02 whose window is open, while 01 is on.
    rig.clock.set(QDateTime(QDate(2014, 7, 3), QTime(17, 30, 1), Qt::UTC));
    rig.core.timers().setTimerList(
        {"02", "41823.7291666667", "41823.75", "0", "0", "0000000", "0", "0", "0"});
    rig.core.requestRelays(0x0001, 0x0001, Source::Service);
    rig.core.TimerSBClick();
    rig.activateAndCycle(1);
    EXPECT_EQ(rig.link.written.first(), QByteArray("R0001\r"));
    EXPECT_EQ(message(), QStringLiteral("relay 02 held off: interlock with 01 (Blind up)"));
}

TEST_F(RelaySafety, SetAllSwitchesOneRelayOfEachGroupAndSaysSo)
{
    rig.activateAndCycle(1);
    rig.core.SetAllButtClick();
    EXPECT_EQ(message(), QStringLiteral("All Relays ON, one per interlock group: 01 (Blind up)"));
    EXPECT_EQ(nextCommand(), QByteArray("RFFFD\r"));
    // The one already on is the one that stays.
    rig.core.ClearAllButtClick();
    rig.core.requestRelays(0x0002, 0x0002, Source::Mqtt);
    nextCommand(); // the dead time after 01 has passed by the write after
    EXPECT_EQ(nextCommand(), QByteArray("R0002\r"));
    rig.core.SetAllButtClick();
    EXPECT_EQ(message(), QStringLiteral("All Relays ON, one per interlock group: 02"));
    EXPECT_EQ(nextCommand(), QByteArray("RFFFE\r"));
}

TEST_F(RelaySafety, AReversalWaitsTheDeadTimeBetweenTheTwoCommands)
{
    rig.activateAndCycle(1);
    rig.core.requestRelays(0x0001, 0x0003, Source::Mqtt);
    EXPECT_EQ(nextCommand(), QByteArray("R0001\r"));
    rig.core.requestRelays(0x0002, 0x0003, Source::Mqtt);
    EXPECT_EQ(message(), QStringLiteral("relay 02 held off: dead time after 01 (Blind up)"));
    EXPECT_EQ(nextCommand(), QByteArray("R0000\r"));
    // One poll cycle, 0.2 s, later.
    EXPECT_EQ(nextCommand(), QByteArray("R0002\r"));
}

TEST_F(RelaySafety, ARelayIsSwitchedOffAtTheFirstWriteAtItsMaximumOnTime)
{
    rig.activateAndCycle(1);
    rig.core.requestRelays(0x0010, 0x0010, Source::Manual);
    // On with the write 0.2 s from now; the limit is 1 s after that.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(nextCommand(), QByteArray("R0010\r")) << i;
    EXPECT_EQ(nextCommand(), QByteArray("R0000\r"));
    EXPECT_EQ(message(), QStringLiteral("relay 05 switched off: on for 1s, its maximum on-time"));
    EXPECT_EQ(rig.view.relayWord, 0);
    EXPECT_EQ(nextCommand(), QByteArray("R0000\r"));
    // Asked on again, it goes on again, for another second.
    rig.core.requestRelays(0x0010, 0x0010, Source::Mqtt);
    EXPECT_EQ(nextCommand(), QByteArray("R0010\r"));
}

TEST_F(RelaySafety, TheRulesSeeAnInputChangeOnlyAfterItsDebounceReads)
{
    rig.core.rules().setRulesList({QStringLiteral("1H=07H")});
    rig.core.InputRulesSBClick();
    rig.activateAndCycle(1);
    rig.link.inputDigits = "01";
    rig.cycle(2);
    EXPECT_EQ(rig.core.poll().PortIn(), 0);
    EXPECT_EQ(rig.view.inputWord, 0);
    rig.cycle(1);
    EXPECT_EQ(rig.core.poll().PortIn(), 1);
    EXPECT_EQ(nextCommand(), QByteArray("R0040\r"));
    // A bounce of two reads does not count.
    const qsizetype mark = rig.link.written.size();
    rig.link.inputDigits = "00";
    rig.cycle(2);
    rig.link.inputDigits = "01";
    rig.cycle(3);
    EXPECT_EQ(rig.core.poll().PortIn(), 1);
    EXPECT_FALSE(rig.link.written.mid(mark).contains(QByteArray("R0000\r")));
}

TEST(RelaySafetyOff, SettingsThatGuardNothingChangeNoCommand)
{
    // The same session with and without (empty) settings sends the same
    // bytes and shows the same texts.
    const auto session = [](bool withSettings) {
        Rig rig;
        rig.startUp();
        if (withSettings)
            rig.core.setBoardSettings(settingsOf({{"relay-01-name", "Pump"}}));
        rig.core.rules().setRulesList({QStringLiteral("1H=01H02H"), QStringLiteral("1L=03H")});
        rig.core.InputRulesSBClick();
        rig.activateAndCycle(2);
        rig.core.SetAllButtClick();
        rig.cycle(1);
        rig.link.inputDigits = "01";
        rig.cycle(2);
        rig.core.requestRelays(0x0003, 0x0003, Source::Mqtt);
        rig.core.WriteButtClick();
        rig.cycle(2);
        return std::pair{rig.link.written, rig.view.statusHistory[1]};
    };
    EXPECT_EQ(session(true), session(false));
}

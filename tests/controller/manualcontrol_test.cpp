// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rig.h"

#include <gtest/gtest.h>

namespace {

class ManualControl : public ::testing::Test
{
protected:
    void SetUp() override { rig.startUp(); }
    // Activates and completes one poll cycle against the answering board.
    void activate() { rig.activateAndCycle(1); }
    // The relay command of the next relay-write tick.
    QByteArray nextRelayCommand()
    {
        rig.cycle(1);
        for (qsizetype i = rig.link.written.size() - 1; i >= 0; --i) {
            if (rig.link.written.at(i).startsWith('R'))
                return rig.link.written.at(i);
        }
        return {};
    }

    Rig rig;
};

TEST_F(ManualControl, SetOnRelaysOneAndSixteenThenWrite)
{
    activate();
    rig.core.SpeedButton1Click(0);
    rig.core.SpeedButton1Click(15);
    EXPECT_EQ(rig.core.PortSet, 0x8001);
    EXPECT_EQ(rig.core.poll().PortOut(), 0); // SET only prepares
    EXPECT_TRUE(rig.view.setButtons[0]);
    EXPECT_TRUE(rig.view.setButtons[15]);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Modified relay data"));

    rig.core.WriteButtClick();
    EXPECT_EQ(rig.core.poll().PortOut(), 0x8001);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Write relay data"));
    EXPECT_EQ(nextRelayCommand(), QByteArray("R8001\r"));
    EXPECT_FALSE(rig.view.relaysIdle);
    EXPECT_EQ(rig.view.relayWord, 0x8001); // shown once the board echoed it
}

TEST_F(ManualControl, SetAllAndClearAllThenWriteRestoresThePreparedWord)
{
    activate();
    rig.core.SpeedButton1Click(2); // relay 3
    rig.core.SetAllButtClick();
    EXPECT_EQ(rig.core.poll().PortOut(), 0xFFFF);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("All Relays ON"));
    EXPECT_EQ(nextRelayCommand(), QByteArray("RFFFF\r"));
    EXPECT_EQ(rig.core.PortSet, 0x0004); // Set All leaves the SET buttons alone
    EXPECT_TRUE(rig.view.setButtons[2]);

    rig.core.WriteButtClick();
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0004);
    EXPECT_EQ(nextRelayCommand(), QByteArray("R0004\r"));

    rig.core.ClearAllButtClick();
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("All relays OFF"));
    EXPECT_EQ(rig.core.PortSet, 0x0004);
    EXPECT_EQ(nextRelayCommand(), QByteArray("R0000\r"));
}

TEST_F(ManualControl, EveryClickIsIgnoredWhileIdle)
{
    const auto lampsBefore = rig.view.lamps;
    const QStringList statusBefore = rig.view.statusHistory[1];
    rig.core.SpeedButton1Click(4);
    rig.core.WriteButtClick();
    rig.core.SetAllButtClick();
    rig.core.ClearAllButtClick();
    EXPECT_EQ(rig.core.PortSet, 0);
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
    EXPECT_FALSE(rig.core.SetButtonState[4]);
    EXPECT_FALSE(rig.view.setButtons[4]);
    EXPECT_EQ(rig.view.lamps, lampsBefore);
    EXPECT_EQ(rig.view.statusHistory[1], statusBefore);
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Ready"));
    EXPECT_TRUE(rig.link.written.isEmpty());
}

TEST_F(ManualControl, ClickingASetButtonTwiceRestoresLampAndBit)
{
    activate();
    for (int tag : {0, 7, 8, 15}) {
        SCOPED_TRACE(tag);
        rig.core.SpeedButton1Click(tag);
        EXPECT_EQ(rig.core.PortSet, 1 << tag);
        EXPECT_TRUE(rig.view.setButtons.at(static_cast<size_t>(tag)));
        rig.core.SpeedButton1Click(tag);
        EXPECT_EQ(rig.core.PortSet, 0);
        EXPECT_FALSE(rig.core.SetButtonState.at(static_cast<size_t>(tag)));
        EXPECT_FALSE(rig.view.setButtons.at(static_cast<size_t>(tag)));
        EXPECT_EQ(rig.view.status[1], QStringLiteral("Modified relay data"));
    }
}

TEST_F(ManualControl, PressFeedbackFollowsTheMouseAlsoWhileIdle)
{
    ASSERT_FALSE(rig.core.poll().SystemActive());
    using Lamp = View::Lamp;
    rig.core.SetAllButtMouseDown();
    EXPECT_TRUE(rig.view.lamp(Lamp::SetAll));
    rig.core.SetAllButtMouseUp();
    EXPECT_FALSE(rig.view.lamp(Lamp::SetAll));
    rig.core.ClearAllButtMouseDown();
    EXPECT_TRUE(rig.view.lamp(Lamp::ClearAll));
    rig.core.ClearAllButtMouseUp();
    EXPECT_FALSE(rig.view.lamp(Lamp::ClearAll));
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
}

TEST_F(ManualControl, SetButtonsKeepTheirStateAcrossAReturnToIdle)
{
    activate();
    rig.core.SpeedButton1Click(5);
    rig.core.WriteButtClick();
    rig.cycle(1);
    EXPECT_EQ(rig.view.relayWord, 0x0020);

    // The board falls silent: the watchdog returns to idle.
    rig.link.autoReply = false;
    for (int i = 0; i < Controller::kWatchdogTicks; ++i)
        rig.tick();
    EXPECT_FALSE(rig.core.poll().SystemActive());
    EXPECT_TRUE(rig.view.relaysIdle);
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
    EXPECT_EQ(rig.core.PortSet, 0x0020);
    EXPECT_TRUE(rig.core.SetButtonState[5]);
    EXPECT_TRUE(rig.view.setButtons[5]);
}

TEST_F(ManualControl, ActivationShowsTheRelayWordAndResetShowsAllIdle)
{
    EXPECT_TRUE(rig.view.relaysIdle);
    rig.core.ActiveButtClick();
    EXPECT_FALSE(rig.view.relaysIdle);
    EXPECT_EQ(rig.view.relayWord, 0);
    EXPECT_TRUE(rig.view.lamp(View::Lamp::Activate));
    rig.core.ResetSerial();
    EXPECT_TRUE(rig.view.relaysIdle);
    EXPECT_EQ(rig.view.inputWord, 0);
    EXPECT_FALSE(rig.view.lamp(View::Lamp::Activate));
}

} // namespace

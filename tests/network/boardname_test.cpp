// SPDX-License-Identifier: GPL-3.0-or-later
// A board's name: the check, the defaults each program makes from the host
// name, and the name made safe for Home Assistant.
#include "network/boardname.h"

#include <gtest/gtest.h>

namespace {

using network::HostBoardName;
using network::PortBoardName;
using network::ValidBoardName;

TEST(BoardName, IsOneTo32SafeCharactersButNotADotFolder)
{
    for (const char* name : {"a", "tank-1", "Pump_2.b", "...", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
        EXPECT_TRUE(ValidBoardName(QString::fromUtf8(name))) << name;
    for (const char* name :
         {"", ".", "..", "a b", "a/b", "tänk", "a+b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
        EXPECT_FALSE(ValidBoardName(QString::fromUtf8(name))) << name;
}

// The service's board without --name: the host and the port.
TEST(BoardName, TheServicesDefaultIsTheHostAndThePort)
{
    EXPECT_EQ(PortBoardName("pi", "4"), QStringLiteral("pi-com4"));
    EXPECT_EQ(PortBoardName("pi.fritz.box", "/dev/v217-tank"), QStringLiteral("pi-v217-tank"));
    EXPECT_EQ(PortBoardName("", "/dev/ttyUSB0"), QStringLiteral("qmxv217d-ttyUSB0"));
    EXPECT_EQ(PortBoardName(".lan", "3"), QStringLiteral("qmxv217d-com3"));
    EXPECT_EQ(PortBoardName("My Host", "3"), QStringLiteral("My_Host-com3"));
    EXPECT_EQ(PortBoardName("pi", "/dev/tty USB:0"), QStringLiteral("pi-tty_USB_0"));
    // A stable adapter name is cut from the front: its end tells adapters apart.
    const QString byId =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    EXPECT_EQ(PortBoardName("greenhouse-controller", byId),
              QStringLiteral("greenhouse-c-T_A12345-if00-port0"));
    EXPECT_EQ(PortBoardName("a-very-long-host-name-of-a-machine", "3"),
              QStringLiteral("a-very-long--com3"));
    for (const QString& name : {PortBoardName("greenhouse-controller", byId),
                                PortBoardName("pi", byId), PortBoardName("my host", "3")})
        EXPECT_TRUE(ValidBoardName(name)) << name.toStdString();
    EXPECT_NE(PortBoardName("pi", "3"), PortBoardName("pi", "4"));
    EXPECT_NE(PortBoardName("pi", "3"), PortBoardName("pi2", "3"));
}

// The desktop's board without a name in mqtt.conf: the host alone.
TEST(BoardName, TheDesktopsDefaultIsTheHost)
{
    EXPECT_EQ(HostBoardName("bench.fritz.box"), QStringLiteral("bench"));
    EXPECT_EQ(HostBoardName("Bench PC"), QStringLiteral("Bench_PC"));
    EXPECT_EQ(HostBoardName("wörk"), QStringLiteral("w_rk"));
    EXPECT_EQ(HostBoardName(""), QStringLiteral("desktop"));
    EXPECT_EQ(HostBoardName(".local"), QStringLiteral("desktop"));
    EXPECT_EQ(HostBoardName(QString(40, QLatin1Char('h'))), QString(32, QLatin1Char('h')));
}

TEST(BoardName, TheHomeAssistantDeviceHoldsNoDot)
{
    EXPECT_EQ(network::DiscoveryNodeId("tank"), QStringLiteral("qmxv217_tank"));
    EXPECT_EQ(network::DiscoveryNodeId("a.b-c_d"), QStringLiteral("qmxv217_a_b-c_d"));
}

} // namespace

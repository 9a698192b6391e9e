// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portpath.h"

#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PortPath : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); }
    QTemporaryDir config;
};

struct DefaultRow
{
    int port;
    const char* device;
};

TEST_F(PortPath, WithoutALinkEachNumberHasItsUsualDevice)
{
    const DefaultRow rows[] = {
        {1, "/dev/ttyS0"},   {2, "/dev/ttyS1"},   {3, "/dev/ttyS2"},
        {4, "/dev/ttyS3"},   {5, "/dev/ttyUSB0"}, {6, "/dev/ttyUSB1"},
        {7, "/dev/ttyUSB2"}, {8, "/dev/ttyACM0"}, {9, "/dev/ttyACM1"},
    };
    for (const DefaultRow& row : rows)
        EXPECT_EQ(PortDevicePath(row.port), QString::fromLatin1(row.device)) << row.port;
}

TEST_F(PortPath, NumbersOutsideOneToNineNameNoDevice)
{
    for (const int port : {0, 10, -1, 255})
        EXPECT_TRUE(PortDevicePath(port).isEmpty()) << port;
}

TEST_F(PortPath, ALinkInThePortFolderWinsEvenWhenItsDeviceIsGone)
{
    EXPECT_EQ(PortFolder(), config.path() + QStringLiteral("/qmx-v217/ports"));
    ASSERT_TRUE(QDir().mkpath(PortFolder()));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/serial/by-id/usb-unplugged"),
                            PortFolder() + QStringLiteral("/com5")));
    EXPECT_EQ(PortDevicePath(5), PortFolder() + QStringLiteral("/com5"));
    EXPECT_EQ(PortDevicePath(6), QStringLiteral("/dev/ttyUSB1"));
}

TEST_F(PortPath, ARelativeConfigHomeIsIgnored)
{
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(PortFolder(), QDir::homePath() + QStringLiteral("/.config/qmx-v217/ports"));
}

} // namespace

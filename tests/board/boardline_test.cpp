// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/boardline.h"
#include "serial/Serial2.h"

#include <gtest/gtest.h>

// Whatever a component was set to, the board's line is 9600 8N1 without
// flow control or parity checking, and the component shows no port problem
// itself: the program that drives the board tells them.
TEST(BoardLine, UseBoardLineSettingsGivesTheBoardsLineWhateverWasSetBefore)
{
    TSerial serial;
    serial.setBaudrate(19200);
    serial.setDataBits(d7bit);
    serial.setParity(paEven);
    serial.setStopBits(st2bit);
    serial.setFlowMode(fcRTS_CTS);
    serial.setCheckParity(true);
    serial.setNotifyErrors(neDialog);

    board::UseBoardLineSettings(serial);
    EXPECT_EQ(serial.Baudrate(), 9600);
    EXPECT_EQ(serial.DataBits(), d8bit);
    EXPECT_EQ(serial.Parity(), paNone);
    EXPECT_EQ(serial.StopBits(), st1bit);
    EXPECT_EQ(serial.FlowMode(), fcNone);
    EXPECT_FALSE(serial.CheckParity());
    EXPECT_EQ(serial.NotifyErrors(), neNone);

    // The record handed to the device: binary, no handshake of any kind.
    const LineSettings line = TSerial::BuildLineSettings(
        serial.Baudrate(), serial.Parity(), serial.DataBits(), serial.StopBits(), serial.FlowMode(),
        serial.CheckParity(), serial.RxQueueSize());
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_EQ(line.flags, LineSettings::kBinary);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/protocol.h"

#include <gtest/gtest.h>

TEST(Protocol, RelayCommandBytes)
{
    EXPECT_EQ(board::RelayCommandFor(0xFFFF), QByteArray("RFFFF\r"));
    EXPECT_EQ(board::RelayCommandFor(0), QByteArray("R0000\r"));
    EXPECT_EQ(board::RelayCommandFor(0x00A5), QByteArray("\x52\x30\x30\x41\x35\x0D"));
    EXPECT_EQ(board::RelayCommandFor(0x8001), QByteArray("\x52\x38\x30\x30\x31\x0D"));
}

TEST(Protocol, DigitConversions)
{
    EXPECT_EQ(ToAscii(0), '0');
    EXPECT_EQ(ToAscii(9), '9');
    EXPECT_EQ(ToAscii(10), 'A');
    EXPECT_EQ(ToAscii(14), 'E');
    EXPECT_EQ(ToAscii(15), 'F');
    EXPECT_EQ(ToAscii(-1), 'F');
    EXPECT_EQ(ToAscii(99), 'F');
    EXPECT_EQ(HexToDec('0'), 0);
    EXPECT_EQ(HexToDec('9'), 9);
    EXPECT_EQ(HexToDec('A'), 10);
    EXPECT_EQ(HexToDec('F'), 15);
    EXPECT_EQ(HexToDec('a'), -1);
    EXPECT_EQ(HexToDec('G'), -1);
    EXPECT_EQ(HexToDec('#'), -1);
}

TEST(Protocol, InputDecodingKeepsThreeBitsOfEachDigit)
{
    EXPECT_EQ(board::DecodeInputs('1', '1'), 9);
    EXPECT_EQ(board::DecodeInputs('7', '0'), 0x38);
    EXPECT_EQ(board::DecodeInputs('F', '8'), 0x38);
    EXPECT_EQ(board::DecodeInputs('0', '7'), 7);
}

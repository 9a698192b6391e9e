// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/protocol.h"

char ToAscii(int value)
{
    if (value >= 0 && value <= 9)
        return static_cast<char>('0' + value);
    if (value >= 10 && value <= 14)
        return static_cast<char>('A' + value - 10);
    return 'F';
}

int HexToDec(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace board {

QByteArray RelayCommandFor(int portOut)
{
    QByteArray command("R");
    for (int shift = 12; shift >= 0; shift -= 4)
        command += ToAscii((portOut >> shift) & 0xF);
    command += '\r';
    return command;
}

int DecodeInputs(char digitA, char digitB)
{
    return ((HexToDec(digitA) * 8) & 0x38) + (HexToDec(digitB) & 7);
}

bool IsValidInputReply(const QByteArray& reply)
{
    return reply.size() == kInputReplyLength && reply.startsWith("I0\r\n") &&
           reply.endsWith(kPrompt) && HexToDec(reply.at(4)) >= 0 && HexToDec(reply.at(5)) >= 0;
}

} // namespace board

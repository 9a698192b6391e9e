// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The board's command protocol: "R" with four upper-case hexadecimal digits
// of the relay word and CR; "I0" and CR for the inputs. The board echoes each
// command, adds LF and ends every reply with CR LF and the prompt "#".
namespace board {

inline const QByteArray kInputQuery = QByteArrayLiteral("I0\r");
inline const QByteArray kAllOff = QByteArrayLiteral("R0000\r");
inline const QByteArray kPrompt = QByteArrayLiteral("\r\n#");
inline const QByteArray kEchoTail = QByteArrayLiteral("\n#");
constexpr int kRelayEchoLength = 8;
constexpr int kInputReplyLength = 9;

// The relay write command for a relay word, bits 15-12 first.
[[nodiscard]] QByteArray RelayCommandFor(int portOut);
// Decodes the two input digits of a checked input reply (positions 5 and 6):
// the low three bits of each; the fourth bit is ignored.
[[nodiscard]] int DecodeInputs(char digitA, char digitB);
// The checks of an input reply of exactly nine characters.
[[nodiscard]] bool IsValidInputReply(const QByteArray& reply);

} // namespace board

// 0-9 give "0"-"9", 10-14 "A"-"E", every other value "F".
[[nodiscard]] char ToAscii(int value);
// "0"-"9" give 0-9, "A"-"F" 10-15, anything else (lower case too) -1.
[[nodiscard]] int HexToDec(char c);

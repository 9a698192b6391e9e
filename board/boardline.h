// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class TSerial;

namespace board {

// Sets up a serial component for the board's line: 9600 baud, 8 data bits,
// no parity and no parity checking, 1 stop bit, no flow control. Port
// problems are not shown by the component: whoever drives the board tells
// them itself. Call it before the port opens.
void UseBoardLineSettings(TSerial& serial);

} // namespace board

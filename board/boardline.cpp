// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/boardline.h"

#include "serial/Serial2.h"

namespace board {

void UseBoardLineSettings(TSerial& serial)
{
    serial.setBaudrate(9600);
    serial.setDataBits(d8bit);
    serial.setParity(paNone);
    serial.setStopBits(st1bit);
    serial.setFlowMode(fcNone);
    serial.setCheckParity(false);
    serial.setNotifyErrors(neNone);
}

} // namespace board

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/program.h"

namespace {

// The board link: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow
// control; the controller shows port problems itself.
TSerial& configured(TSerial& serial)
{
    serial.setDataBits(d8bit);
    serial.setCheckParity(false);
    serial.setNotifyErrors(neNone);
    return serial;
}

} // namespace

Program::Program() : desktop(configured(Serial1), clock, regional)
{
    Serial1.setErrorBox([this](const QString& text) { desktop.mainWindow.showError(text); });
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/program.h"

#include "board/boardline.h"

namespace {

TSerial& configured(TSerial& serial)
{
    board::UseBoardLineSettings(serial);
    return serial;
}

} // namespace

Program::Program() : desktop(configured(Serial1), clock, regional)
{
    Serial1.setErrorBox([this](const QString& text) { desktop.mainWindow.showError(text); });
}

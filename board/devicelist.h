// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/serialdevices.h"

#include <QList>
#include <QString>

// The texts the Devices window shows for the serial device survey, and the
// choices it makes from it, apart from the widgets.
namespace board {

// Whether the device can be opened and, if not, what to do about it.
[[nodiscard]] QString AccessText(const SerialDeviceInfo& device);
// The COM numbers linked to the device: "COM 4, COM 7".
[[nodiscard]] QString ComText(const QList<int>& comNumbers);
// vvvv:pppp, empty for a device that is not on USB.
[[nodiscard]] QString UsbIdText(const SerialDeviceInfo& device);
// The manufacturer and the product, whichever the device tells.
[[nodiscard]] QString MakerText(const SerialDeviceInfo& device);
// "COM 3 -> /dev/ttyUSB9 (leads nowhere)".
[[nodiscard]] QString LinkText(const PortLink& link);
// Where the survey was read from.
[[nodiscard]] QString SourceText(const DeviceSurvey& survey);
// The first COM number 1 to 9 the port folder has no link for; 1 when all
// are linked.
[[nodiscard]] int FirstFreeCom(const QList<PortLink>& links);
// True when both paths lead to the same file once every link is followed.
[[nodiscard]] bool SameDevice(const QString& a, const QString& b);
// The device of the survey that a path names (its node, one of its stable
// names, or a link to it); -1 when none.
[[nodiscard]] qsizetype FindDevice(const QList<SerialDeviceInfo>& devices, const QString& path);

} // namespace board

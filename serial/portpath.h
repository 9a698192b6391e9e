// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Where COM1 to COM9 lead on this machine. Each number resolves first to a
// link named com1 ... com9 in the user's port folder (PortFolder() of
// common/folders.h), else to the platform's default device for it. One
// implementation per platform.

// The device path of COM<port>, or an empty text when the number names no
// port (0 and above 9 never open).
[[nodiscard]] QString PortDevicePath(int port);
// The same with the links looked for in each of folders in turn, for a
// program that keeps a port folder of its own before the user's.
[[nodiscard]] QString PortDevicePath(int port, const QStringList& folders);

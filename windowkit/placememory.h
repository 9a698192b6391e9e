// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// Where a resizable window of its own was last: its size and position kept
// in a small file of the window's own in the configuration folder, apart
// from the program's data and project files. Without a usable file the
// window goes over the middle of the window it belongs to, inside the
// screen.
namespace placememory {

// The file that keeps the place of the window called name.
[[nodiscard]] QString PlaceFile(const QString& name);
// Puts the window where the file says; false when it says nothing usable
// (the window is then put over its parent).
bool RestorePlace(QWidget& window, const QString& name);
// Writes the window's place; false when the file could not be written.
bool SavePlace(const QWidget& window, const QString& name);

} // namespace placememory

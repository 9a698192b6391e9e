// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
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
// Puts the window where the file says, fitted to the screen it comes on;
// false when the file says nothing usable (the window is then put over its
// parent).
bool RestorePlace(QWidget& window, const QString& name);
// Writes the window's place; false when the file could not be written.
bool SavePlace(const QWidget& window, const QString& name);

// A window's geometry (without its frame) moved and, where it must be,
// shrunk so that it lies wholly inside one of the screens' available areas,
// frame and title bar included. The area is that of the screen holding the
// middle of the window, else the one it overlaps most, else the first
// (the primary screen). A place saved at another scale or on a screen that
// is gone so comes back whole and with its title bar reachable.
[[nodiscard]] QRect FitPlace(const QRect& geometry, const QMargins& frame,
                             const QList<QRect>& areas);

} // namespace placememory

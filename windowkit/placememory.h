#pragma once

#include <QString>

class QWidget;

// Where a resizable window of its own was last: its size and position kept
// in a small file of the window's own in the configuration folder, apart
// from the program's data and project files. A missing or damaged file
// leaves the window where the system puts it.
namespace placememory {

// The file that keeps the place of the window called name.
[[nodiscard]] QString PlaceFile(const QString& name);
// Puts the window where the file says; false when it says nothing usable.
bool RestorePlace(QWidget& window, const QString& name);
// Writes the window's place; false when the file could not be written.
bool SavePlace(const QWidget& window, const QString& name);

} // namespace placememory

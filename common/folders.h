// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's well-known per-user folders. Every part that keeps a file
// of the user's asks here, so they all agree on where it goes. One
// implementation per platform; on Linux they follow the XDG base directory
// rules, under which a relative or empty XDG_CONFIG_HOME or XDG_STATE_HOME
// is ignored as if it were not set.

// The configuration folder: $XDG_CONFIG_HOME/qmx-v217, by default
// ~/.config/qmx-v217. It holds the last-run file when the program's own
// folder cannot take it, and the port folder.
[[nodiscard]] QString ConfigFolder();
// The port folder, where links named com1 ... com9 choose the device of
// each COM number: ConfigFolder()/ports.
[[nodiscard]] QString PortFolder();
// The state folder: $XDG_STATE_HOME/qmx-v217, by default
// ~/.local/state/qmx-v217. It holds the safety copy of a log run.
[[nodiscard]] QString StateFolder();
// The user's private folder for the single-instance lock: XDG_RUNTIME_DIR
// when it belongs to the user and has mode 0700, else
// RuntimeFallbackFolder(), made if missing, when it belongs to the user and
// nobody else may write into it. Empty when there is neither: a folder that
// others made or may write into, such as the shared temp folder, is never
// given.
[[nodiscard]] QString RuntimeFolder();
// Where the lock goes when XDG_RUNTIME_DIR names no private folder: the
// state folder, in the user's home.
[[nodiscard]] QString RuntimeFallbackFolder();

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

// Files of another user, for the tests of what a save may follow or write
// over. Only root can give a file away; where the tests run as another user,
// the parts that need it are skipped.
namespace stranger {

inline constexpr uid_t kUid = 54321;

[[nodiscard]] inline bool canGiveAway()
{
    return ::geteuid() == 0;
}

// Gives the file, or the link itself, to the stranger.
[[nodiscard]] inline bool giveAway(const QString& path, uid_t to = kUid)
{
    return ::lchown(QFile::encodeName(path).constData(), to, to) == 0;
}

[[nodiscard]] inline uid_t ownerOf(const QString& path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

} // namespace stranger

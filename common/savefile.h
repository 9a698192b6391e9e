// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What saving needs from the file system, one file per platform: which links
// a save may follow, whose file it may replace, and the replacing itself.

// Where a save to path really writes: path made absolute, or the end of its
// chain of symbolic links. Empty when a link on the way, of the last part or
// of any folder above it, may not be followed: one in a world-writable
// sticky folder (such as /tmp) that belongs neither to the user nor to the
// folder's owner. The kernel refuses to follow such a
// link (fs.protected_symlinks); a save that follows links itself keeps the
// same rule, so that a link another user planted cannot aim it at a file.
[[nodiscard]] QString FollowSaveLinks(const QString& path);

// True when path is a symbolic link, or a file that belongs to another user.
[[nodiscard]] bool IsLinkOrOthersFile(const QString& path);

// Replaces the file at path with bytes; a link found at path is replaced,
// never followed. The bytes go to a temporary file beside it, which takes
// the old file's owner and mode and is renamed over it only after a complete,
// flushed write; the mode comes after the write, which would clear its
// set-user-ID and set-group-ID bits. Where that cannot be, because the folder
// takes no new file or the old owner cannot be given to a new one, the
// existing file is written in place instead, its old content kept in memory
// and put back when the write fails. False on any failure, with the old file as it was. A file the
// user may not write is never replaced.
[[nodiscard]] bool ReplaceFile(const QString& path, const QByteArray& bytes);
// The same for a file that may hold a secret: the file, new or replaced,
// is readable by the user only (mode 0600) from its first byte on, whatever
// the old file's mode was.
[[nodiscard]] bool ReplacePrivateFile(const QString& path, const QByteArray& bytes);

// Opens path to append to, made when missing (mode 0644 under the umask),
// for a program that may run as root. Its links are followed only as a save
// follows them (FollowSaveLinks), and in a world-writable sticky folder only
// a file of the user or of the folder's owner is opened (the kernel's rule
// fs.protected_regular): a link or a file another user planted there cannot
// aim the writes at a file of theirs choosing. The descriptor, or -1 with the
// reason in problem.
[[nodiscard]] int OpenAppendFile(const QString& path, QString& problem);

// Makes a write past the file-size limit (ulimit -f) fail as a write, instead
// of ending the process with the signal the kernel sends by default.
void IgnoreFileSizeSignal();

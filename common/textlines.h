// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Text files of lines. Reading accepts CR LF, LF or CR alone as the line end;
// a final line end does not make an extra empty line. Writing ends every line
// with CR LF.

// Throws "Cannot open file %s" when the file cannot be read.
[[nodiscard]] QStringList ReadTextLines(const QString& path);
// Splits already-read bytes the same way.
[[nodiscard]] QStringList SplitTextLines(const QByteArray& bytes);
// Writes the lines to the file path names, following its links as the
// kernel would (see FollowSaveLinks), and replaces the earlier file only
// with a complete write: a failed save never destroys it, nor changes its
// owner or mode. Throws "Cannot create file %s" on any failure.
void WriteTextLines(const QString& path, const QStringList& lines);
// The same for a file the program keeps for itself: never written through a
// symbolic link, nor over a file of another user.
void WriteOwnTextLines(const QString& path, const QStringList& lines);

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
// Writes the lines to a temporary file beside path and renames it over path
// only after a complete, flushed write, so a failed save never destroys the
// earlier file. Throws "Cannot create file %s" on any failure.
void WriteTextLines(const QString& path, const QStringList& lines);

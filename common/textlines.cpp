// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textlines.h"

#include "common/conversions.h"
#include "common/savefile.h"

#include <QFile>

QStringList SplitTextLines(const QByteArray& bytes)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(QString::fromUtf8(bytes.mid(start, i - start)));
        if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(QString::fromUtf8(bytes.mid(start)));
    return lines;
}

QStringList ReadTextLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throwCannotOpenFile(path);
    return SplitTextLines(file.readAll());
}

namespace {

QByteArray textBytes(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace

void WriteTextLines(const QString& path, const QStringList& lines)
{
    const QString target = FollowSaveLinks(path);
    if (target.isEmpty() || !ReplaceFile(target, textBytes(lines)))
        throwCannotCreateFile(path);
}

void WriteOwnTextLines(const QString& path, const QStringList& lines)
{
    if (IsLinkOrOthersFile(path) || !ReplaceFile(path, textBytes(lines)))
        throwCannotCreateFile(path);
}

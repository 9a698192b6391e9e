#include "controller/textlines.h"

#include "controller/conversions.h"

#include <QFile>
#include <QSaveFile>

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

void WriteTextLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    QSaveFile file(path);
    // The explicit flush reports a short write (a full disk, a file size
    // limit); commit() alone can miss it and rename a truncated file over
    // the earlier one.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit())
        throwCannotCreateFile(path);
}

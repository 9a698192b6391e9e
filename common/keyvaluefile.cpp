// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/keyvaluefile.h"

#include <QFile>
#include <QSet>

namespace keyvalue {

Contents Parse(const QByteArray& text, const Syntax& syntax)
{
    Contents contents;
    QSet<QString> keysSeen;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        const auto fault = [&](const QString& problem) {
            contents.fault = Fault{number, problem};
            return contents;
        };
        QByteArray raw = lines.at(i);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (syntax.refuseNul && raw.contains('\0'))
            return fault(QStringLiteral("the line holds a NUL byte, which no path or value may"));
        const QString decoded = QString::fromUtf8(raw);
        if (decoded.contains(QChar::ReplacementCharacter))
            return fault(QStringLiteral("the line is not UTF-8 text"));
        const QString line = decoded.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (!syntax.section.isEmpty() && line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fault(QStringLiteral("a section line ends with ']'"));
            contents.entries.append(
                Entry{number, true, line.mid(1, line.size() - 2).trimmed(), {}, {}});
            keysSeen.clear();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fault(
                syntax.section.isEmpty()
                    ? QStringLiteral("expected 'key = value'")
                    : QStringLiteral("expected 'key = value' or '[%1]'").arg(syntax.section));
        Entry entry{number, false, line.left(equals).trimmed(), {}, line.mid(equals + 1).trimmed()};
        entry.key = entry.name.toLower();
        if (keysSeen.contains(entry.key))
            return fault(syntax.section.isEmpty()
                             ? QStringLiteral("'%1' is set twice").arg(entry.key)
                             : QStringLiteral("'%1' is set twice in this section").arg(entry.key));
        keysSeen.insert(entry.key);
        contents.entries.append(entry);
    }
    return contents;
}

std::variant<QByteArray, QString> ReadFile(const QString& path, std::optional<qint64> maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read: ") + file.errorString();
    if (maxBytes && file.size() > *maxBytes)
        return QStringLiteral("is larger than %1 bytes").arg(*maxBytes);
    return file.readAll();
}

} // namespace keyvalue

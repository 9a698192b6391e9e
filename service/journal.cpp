// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/journal.h"

#include <QRegularExpression>
#include <QStringList>

#include <sys/stat.h>

namespace service {

namespace {

QString levelWord(Level level)
{
    switch (level) {
    case Level::Error:
        return QStringLiteral("error");
    case Level::Warning:
        return QStringLiteral("warning");
    case Level::Info:
        break;
    }
    return QStringLiteral("info");
}

} // namespace

bool Journal::stderrIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const QList<QByteArray> parts = stream.split(':');
    if (parts.size() != 2)
        return false;
    struct stat st;
    if (::fstat(2, &st) != 0)
        return false;
    bool devOk = false;
    bool inoOk = false;
    const qulonglong dev = parts.at(0).toULongLong(&devOk);
    const qulonglong ino = parts.at(1).toULongLong(&inoOk);
    return devOk && inoOk && dev == static_cast<qulonglong>(st.st_dev) &&
           ino == static_cast<qulonglong>(st.st_ino);
}

QString Journal::format(const QString& source, Level level, const QString& text) const
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    const QString oneLine = QString(text).replace(breaks, QStringLiteral(" ")).trimmed();
    if (m_journal)
        return QStringLiteral("<%1>%2: %3").arg(static_cast<int>(level)).arg(source, oneLine);
    return QStringLiteral("%1: %2: %3").arg(source, levelWord(level), oneLine);
}

void Journal::write(const QString& source, Level level, const QString& text)
{
    const QByteArray line = (format(source, level, text) + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), m_out);
    std::fflush(m_out);
}

} // namespace service

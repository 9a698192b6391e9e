// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/startstate.h"

#include "common/daynumber.h"
#include "common/savefile.h"
#include "timers/timerpass.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace service {

QString RelayStateFile(const QString& stateFolder, const QString& board)
{
    return stateFolder + QLatin1Char('/') + board + QStringLiteral(".relays");
}

std::variant<quint16, QString> ReadRelayState(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read").arg(path);
    // A word and its line end; anything longer is not this file.
    const QByteArray text = file.read(16).trimmed();
    static const QRegularExpression word(QStringLiteral("^[0-9A-F]{4}$"));
    if (!word.match(QString::fromLatin1(text)).hasMatch())
        return QStringLiteral("%1 holds no relay word").arg(path);
    return static_cast<quint16>(text.toUInt(nullptr, 16));
}

bool WriteRelayState(const QString& path, quint16 word)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ReplaceFile(
        path, QStringLiteral("%1\n").arg(word, 4, 16, QLatin1Char('0')).toUpper().toLatin1());
}

quint16 ScheduleWord(const QStringList& records, const QDateTime& now, QChar decimalPoint)
{
    QStringList running = records;
    int word = 0;
    if (ExecuteTimerPass(running, word, DateTimeToDayNumber(now), decimalPoint) < 0)
        return 0;
    return static_cast<quint16>(word);
}

} // namespace service

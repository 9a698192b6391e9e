// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/regional.h"

#include "common/daynumber.h"

#include <QLocale>
#include <QRegularExpression>

Regional Regional::fixed()
{
    return {QStringLiteral("dd/MM/yyyy"), QStringLiteral("HH:mm:ss"), QLatin1Char('.')};
}

Regional Regional::fromSystem()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        return fixed();
    // The long time format of most locales carries a time-zone field ("t");
    // the program shows wall-clock time only.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    timeFormat = timeFormat.trimmed();
    const QString point = locale.decimalPoint();
    return {locale.dateFormat(QLocale::ShortFormat), timeFormat,
            point.isEmpty() ? QLatin1Char('.') : point.at(0)};
}

QString LongTimeText(const QTime& time, const Regional& regional)
{
    return QLocale::system().toString(time, regional.longTimeFormat);
}

QString DateTimeText(double dayNumber, const Regional& regional)
{
    const QDateTime dateTime = DayNumberToDateTime(dayNumber);
    if (!dateTime.isValid())
        return {};
    QString text = QLocale::system().toString(dateTime.date(), regional.shortDateFormat);
    if (dateTime.time() != QTime(0, 0))
        text += QLatin1Char(' ') + LongTimeText(dateTime.time(), regional);
    return text;
}

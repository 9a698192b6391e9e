// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/daynumber.h"

#include <QDateTime>
#include <QStringList>

// The two records every timer test starts from, as their nine lines.
// Relay 5, date mode, 3 July 2014 17:30:00 to 18:00:00, no toggling.
inline const QStringList kRelay5Record{
    "05", "41823.7291666667", "41823.75", "0", "0", "0000000", "0", "0", "0"};
// Relay 12, daily on Monday and Friday, 08:00:00 to 08:30:00, toggle ON 1.2
// and OFF 1.
inline const QStringList kRelay12Record{
    "12", "37257.3333333333", "37257.3541666667", "1.2", "1", "0100010", "0", "0", "1.2"};

// Wall-clock values without a time zone, as the day numbers count them (and
// without the cost of a zone lookup in every one of the many passes).
inline QDateTime at(int year, int month, int day, int hour, int minute, int second = 0,
                    int msec = 0)
{
    return {QDate(year, month, day), QTime(hour, minute, second, msec), Qt::UTC};
}

inline double dayNumber(const QDateTime& dateTime)
{
    return DateTimeToDayNumber(dateTime);
}

// A record in the editor's form with no toggling, from calendar values.
inline QStringList dateRecord(const QString& channel, const QDateTime& on, const QDateTime& off,
                              const QString& days = QStringLiteral("0000000"),
                              const QString& togOn = QStringLiteral("0"),
                              const QString& togOff = QStringLiteral("0"))
{
    return {channel,
            FormatGeneral(dayNumber(on), u'.'),
            FormatGeneral(dayNumber(off), u'.'),
            togOn,
            togOff,
            days,
            "0",
            "0",
            togOn};
}

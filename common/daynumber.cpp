// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/daynumber.h"

#include <QTimeZone>

#include <cmath>

namespace {

constexpr qint64 kMsecPerDay = 86'400'000;

const QDate& epoch()
{
    static const QDate date(1899, 12, 30);
    return date;
}

} // namespace

std::optional<double> EncodeDayNumber(int year, int month, int day, int hour, int minute,
                                      int second, int msec)
{
    const QDate date(year, month, day);
    if (!date.isValid() || !QTime::isValid(hour, minute, second, msec))
        return std::nullopt;
    const double days = static_cast<double>(epoch().daysTo(date));
    const double fraction =
        static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / kMsecPerDay;
    return days + fraction;
}

double DateTimeToDayNumber(const QDateTime& dateTime)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    return *EncodeDayNumber(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                            time.second(), time.msec());
}

QDateTime DayNumberToDateTime(double dayNumber)
{
    if (!std::isfinite(dayNumber) || dayNumber < -693593.0 || dayNumber >= 2958466.0)
        return {};
    const auto total = static_cast<qint64>(std::llround(dayNumber * kMsecPerDay));
    qint64 days = total / kMsecPerDay;
    qint64 msec = total % kMsecPerDay;
    if (msec < 0) {
        // Before the epoch the fraction still counts forward from midnight.
        msec = -msec;
    }
    const QDate date = epoch().addDays(days);
    if (!date.isValid())
        return {};
    // In local time a wall time that the zone skips (the hour the clocks go
    // forward) is no valid date-time; UTC has every wall time.
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msec)),
                     QTimeZone::utc());
}

QString FormatGeneral(double value, QChar decimalPoint)
{
    QString text = QString::number(value, 'g', 15);
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

QString FormatFieldPattern(double dayNumber)
{
    const QDateTime dateTime = DayNumberToDateTime(dayNumber);
    if (!dateTime.isValid())
        return {};
    return dateTime.toString(QStringLiteral("ddMMyyyyHHmmss"));
}

int DayOfWeek(double dayNumber)
{
    // Day 0 (30 December 1899) was a Saturday. The remainder is taken in
    // floating point, so no day number, however far off, overflows.
    if (!std::isfinite(dayNumber))
        return 1;
    double remainder = std::fmod(std::floor(dayNumber), 7.0);
    if (remainder < 0)
        remainder += 7.0;
    return (static_cast<int>(remainder) + 6) % 7 + 1;
}

double TimeOfDay(double dayNumber)
{
    return dayNumber - std::trunc(dayNumber);
}

bool CheckMonthDays(int day, int month, int year)
{
    int length = 31;
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        length = 30;
        break;
    case 2:
        length = (year % 4 == 0) ? 29 : 28;
        break;
    default:
        break;
    }
    return day <= length;
}

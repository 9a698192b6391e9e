#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// The user's regional settings for the short date format, the long time
// format and the decimal separator. Under the C/POSIX locale (no regional
// settings) the fixed "dd/MM/yyyy", "HH:mm:ss" and "." apply, which is also
// what the tests use.
struct Regional
{
    QString shortDateFormat;
    QString longTimeFormat;
    QChar decimalPoint;

    [[nodiscard]] static Regional fixed();
    [[nodiscard]] static Regional fromSystem();
};

[[nodiscard]] const Regional& regional();
void setRegional(const Regional& settings);

// Time of day in the long time format.
[[nodiscard]] QString LongTimeText(const QTime& time);
// Date in the short date format, one space, the time in the long time
// format; the time is left out when the value is exactly midnight.
[[nodiscard]] QString DateTimeText(double dayNumber);

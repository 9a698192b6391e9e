// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// The regional formats: the short date format, the long time format and the
// decimal separator. A plain value: the program reads the user's settings
// once (fromSystem) and hands them to the controller, which passes them to
// every part that formats; nothing reads them from anywhere else, so two
// controllers in one process can format differently. Under the C/POSIX
// locale (no regional settings) the fixed "dd/MM/yyyy", "HH:mm:ss" and "."
// apply, which is also what the tests and tools use.
struct Regional
{
    QString shortDateFormat;
    QString longTimeFormat;
    QChar decimalPoint;

    [[nodiscard]] static Regional fixed();
    [[nodiscard]] static Regional fromSystem();
};

// Time of day in the long time format.
[[nodiscard]] QString LongTimeText(const QTime& time, const Regional& regional);
// Date in the short date format, one space, the time in the long time
// format; the time is left out when the value is exactly midnight.
[[nodiscard]] QString DateTimeText(double dayNumber, const Regional& regional);

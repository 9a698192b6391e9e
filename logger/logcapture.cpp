// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the capture lines and the interval in input reads.
#include "logger/logcapture.h"

#include <cmath>
#include <limits>

QString DecToBinary(int value, int width)
{
    QString text;
    text.reserve(2 * width);
    for (int bit = width - 1; bit >= 0; --bit) {
        text += QLatin1Char(' ');
        text += (value >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    }
    return text;
}

int LogPeriodFor(double frequency)
{
    const double reads = std::trunc(frequency * kCapturesPerSecond);
    if (std::isnan(reads))
        return 0;
    if (reads >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (reads <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(reads);
}

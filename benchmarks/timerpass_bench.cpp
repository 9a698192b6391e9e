// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long a pass of the timer engine takes over long record lists,
// the work done inside one relay-write tick.
#include "timers/timerpass.h"

#include "common/daynumber.h"

#include <QElapsedTimer>

#include <cstdio>

int main()
{
    const double start = *EncodeDayNumber(2014, 7, 3, 10, 0, 0);
    for (const int count : {10, 100, 1000, 10000}) {
        QStringList records;
        for (int k = 0; k < count; ++k) {
            const QString relay = QStringLiteral("%1").arg(k % 16 + 1, 2, 10, QLatin1Char('0'));
            const bool daily = k % 2 == 1;
            records << relay << FormatGeneral(start + (k % 60) / 1440.0, u'.')
                    << FormatGeneral(start + (k % 60 + 30) / 1440.0, u'.') << QStringLiteral("0.4")
                    << QStringLiteral("0.6")
                    << (daily ? QStringLiteral("1111111") : QStringLiteral("0000000"))
                    << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("0.4");
        }
        int portOut = 0;
        const int passes = count >= 1000 ? 100 : 1000;
        QElapsedTimer timer;
        timer.start();
        for (int pass = 0; pass < passes; ++pass)
            (void)ExecuteTimerPass(records, portOut, start + (pass * 0.2 + 1800) / 86400.0, u'.');
        const double usPerPass = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / passes;
        std::printf("%6d records: %10.1f us per pass (%.1f%% of the 100 ms tick)\n", count,
                    usPerPass, usPerPass / 1000.0);
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long the schedule of a week takes for long record lists, the
// work behind every redraw of the timeline.
#include "timers/schedule.h"

#include "common/daynumber.h"
#include "timers/chantimer.h"
#include "timers/timerpass.h"

#include <QElapsedTimer>

#include <array>
#include <cstdio>

int main()
{
    const double start = *EncodeDayNumber(2014, 7, 3, 6, 0, 0);
    const QTimeZone zone("Europe/Berlin");
    // The week in which the clocks go back, so the walk crosses a change.
    const schedule::Span span = schedule::DaySpan(QDate(2026, 10, 22), 7, zone);
    for (const int count : {10, 100, 1000, 10000}) {
        QStringList records;
        for (int k = 0; k < count; ++k) {
            const QString relay = QStringLiteral("%1").arg(k % 16 + 1, 2, 10, QLatin1Char('0'));
            // Half daily (on two to seven days), half dated within the week;
            // every third record toggles.
            const bool daily = k % 2 == 1;
            const double on = daily ? start + (k % 96) / 96.0 * 0.7
                                    : *EncodeDayNumber(2026, 10, 22 + k % 7, k % 24, 0, 0);
            const bool toggles = k % 3 == 0;
            const QString togOn = toggles ? QStringLiteral("0.4") : QStringLiteral("0");
            records << relay << FormatGeneral(on, u'.') << FormatGeneral(on + 0.05, u'.') << togOn
                    << QStringLiteral("0.6")
                    << (daily ? QStringLiteral("1111111").left(2 + k % 6).rightJustified(7, '0')
                              : QStringLiteral("0000000"))
                    << QStringLiteral("0") << QStringLiteral("0") << togOn;
        }
        const int runs = count >= 1000 ? 5 : 50;
        qsizetype intervals = 0;
        qsizetype stretches = 0;
        QElapsedTimer timer;
        timer.start();
        for (int run = 0; run < runs; ++run) {
            const schedule::Schedule week = schedule::ComputeSchedule(records, span);
            intervals = week.intervals.size();
            stretches = week.relays.size();
        }
        const double msPerWeek = static_cast<double>(timer.nsecsElapsed()) / 1e6 / runs;
        std::printf("%6d records: %8.2f ms for a week (%lld intervals, %lld stretches of relays "
                    "on; goal for 1000: 50 ms)\n",
                    count, msPerWeek, static_cast<long long>(intervals),
                    static_cast<long long>(stretches));
    }

    // The running system as the timeline reads it twice a second: eight
    // records on four relays, two overlapping on each, their windows open
    // all week and toggling. The engine counts their phases down on every
    // pass, so the list differs at every look.
    QStringList running;
    const double before = *EncodeDayNumber(2026, 10, 21, 0, 0, 0);
    const double after = *EncodeDayNumber(2026, 10, 30, 0, 0, 0);
    const std::array<std::pair<const char*, const char*>, 8> toggles{{{"0.4", "0.6"},
                                                                      {"1", "1"},
                                                                      {"2", "3"},
                                                                      {"0.6", "1.4"},
                                                                      {"5", "5"},
                                                                      {"1.2", "0.8"},
                                                                      {"10", "20"},
                                                                      {"3", "2"}}};
    for (int k = 0; k < 8; ++k) {
        const auto& [togOn, togOff] = toggles.at(static_cast<size_t>(k));
        running << QStringLiteral("%1").arg(k / 2 + 1, 2, 10, QLatin1Char('0'))
                << FormatGeneral(before, u'.') << FormatGeneral(after, u'.') << togOn << togOff
                << QStringLiteral("0000000") << QStringLiteral("0") << QStringLiteral("0") << togOn;
    }
    int word = 0;
    const double now = *EncodeDayNumber(2026, 10, 22, 12, 0, 0);
    // The pass that opens the windows.
    if (ExecuteTimerPass(running, word, now - 0.2 / 86400.0, u'.') < 0)
        return 1;
    const int looks = 10;
    int changed = 0;
    QElapsedTimer timer;
    qint64 nanoseconds = 0;
    qsizetype stretches = 0;
    for (int look = 0; look < looks; ++look) {
        const QStringList seen = running;
        // Two or three passes of 200 ms between two looks 500 ms apart.
        for (int pass = 0; pass < (look % 2 == 0 ? 2 : 3); ++pass) {
            if (ExecuteTimerPass(running, word, now + (look * 3 + pass) * 0.2 / 86400.0, u'.') < 0)
                return 1;
        }
        changed += running != seen ? 1 : 0;
        timer.start();
        stretches = schedule::ComputeSchedule(running, span).relays.size();
        nanoseconds += timer.nsecsElapsed();
    }
    std::printf("running system, 8 toggling records open all week: %.2f ms per look "
                "(%lld stretches of relays on); the records changed at %d of %d looks\n",
                static_cast<double>(nanoseconds) / 1e6 / looks, static_cast<long long>(stretches),
                changed, looks);
    return 0;
}

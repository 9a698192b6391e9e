// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long the checks of timer records against a board's settings
// take for a week of long record lists: the overlaps in interlock groups,
// the windows longer than a maximum on-time, and the relays as the guards
// switch them (what the Timeline draws). The goal: 1000 records in under
// 100 ms, the schedule included.
#include "timers/schedulecheck.h"

#include "common/daynumber.h"

#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

namespace {

// Half daily (on two to seven days), half dated within the week; every
// third record toggles. The same lists as the schedule's benchmark.
QStringList weekOfRecords(int count)
{
    const double start = *EncodeDayNumber(2014, 7, 3, 6, 0, 0);
    QStringList records;
    for (int k = 0; k < count; ++k) {
        const QString relay = QStringLiteral("%1").arg(k % 16 + 1, 2, 10, QLatin1Char('0'));
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
    return records;
}

double msSince(const QElapsedTimer& timer, int runs)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / runs;
}

// The process's CPU time: on a shared machine the wall time also counts
// the time others had the processor.
double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace

int main()
{
    const QTimeZone zone("Europe/Berlin");
    // The week in which the clocks go back, so the walk crosses a change.
    const QDate from(2026, 10, 22);
    const schedule::Span span = schedule::DaySpan(from, 7, zone);
    // Every relay in a group but 16, and a maximum on-time on every other.
    safety::BoardSettings settings;
    settings.interlocks = {0x0003, 0x001C, 0x01E0, 0x7E00};
    for (size_t relay = 0; relay < safety::kRelays; relay += 2)
        settings.maxOn.at(relay) = std::chrono::minutes(30);

    for (const int count : {100, 1000, 10000}) {
        const QStringList records = weekOfRecords(count);
        const int runs = count >= 10000 ? 2 : 5;
        QElapsedTimer timer;

        timer.start();
        const double cpuStart = cpuMs();
        qsizetype warnings = 0;
        for (int run = 0; run < runs; ++run)
            warnings = schedule::ScheduleWarnings(records, settings, from, zone).size();
        const double total = msSince(timer, runs);
        const double totalCpu = (cpuMs() - cpuStart) / runs;

        const schedule::Schedule week = schedule::ComputeSchedule(records, span);
        timer.start();
        qsizetype overlaps = 0;
        for (int run = 0; run < runs; ++run)
            overlaps = schedule::InterlockOverlaps(week.intervals, settings, zone).size();
        const double interlocks = msSince(timer, runs);

        timer.start();
        for (int run = 0; run < runs; ++run)
            (void)schedule::MaxOnExceeded(week.intervals, settings);
        const double maxOn = msSince(timer, runs);

        timer.start();
        qsizetype holds = 0;
        for (int run = 0; run < runs; ++run)
            holds = schedule::GuardRelays(week.relays, settings, span.passOriginMs).holds.size();
        const double guards = msSince(timer, runs);

        std::printf(
            "%6d records: %8.2f ms (CPU %.2f ms) for the week's warnings, schedule "
            "included (%lld warnings, %lld of them overlaps; goal for 1000: 100 ms); of the "
            "intervals alone: interlock check %.2f ms, maximum on-time %.2f ms; "
            "guarded relays for the Timeline %.2f ms (%lld stretches of relays on, "
            "%lld held)\n",
            count, total, totalCpu, static_cast<long long>(warnings),
            static_cast<long long>(overlaps), interlocks, maxOn, guards,
            static_cast<long long>(week.relays.size()), static_cast<long long>(holds));
    }
    return 0;
}

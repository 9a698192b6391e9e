// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/simulatedboard.h"

#include <QtGlobal>

#include <chrono>
#include <functional>
#include <vector>

// The figures of the soak run and the benchmarks: what the board simulator
// saw of the poll cycle, and what this process spent.

// The poll cycle as the board sees it, from the simulator's events: the
// period between input queries, and the latency from an input change to the
// first relay command that carries what the rules make of it.
class BoardFigures
{
public:
    // relaysFor: the relay bits the rules set for an input word, within mask.
    BoardFigures(std::function<int(int inputs)> relaysFor, int mask)
        : m_relaysFor(std::move(relaysFor)), m_mask(mask)
    {
    }
    // Takes one event; undisturbed is false while a fault or a stop is on,
    // and such periods and changes are not counted.
    void onEvent(const SimulatedBoard::Event& event, bool undisturbed);
    // A fault or a stop: the next period and any change in flight are void.
    void interrupt();
    // Prints the period and latency lines of a summary.
    void print() const;
    [[nodiscard]] const std::vector<double>& periods() const { return m_periods; }
    [[nodiscard]] const std::vector<double>& latencies() const { return m_latencies; }

private:
    std::function<int(int)> m_relaysFor;
    int m_mask;
    std::vector<double> m_periods;
    std::vector<double> m_latencies;
    double m_lastQuery = 0;
    double m_pendingSince = 0;
    int m_pendingRelays = 0;
    int m_boardRelays = 0;
};

// Runs the event loop for a while, sleeping between events.
void runEventsFor(std::chrono::milliseconds time);
// Seconds of CLOCK_MONOTONIC.
[[nodiscard]] double monotonicSeconds();
// Resident set size of this process in bytes, from /proc/self/statm.
[[nodiscard]] qint64 residentBytes();
// CPU time (user + system) of this process in seconds.
[[nodiscard]] double cpuSeconds();
// The same of another process, from /proc/<pid>/stat and /proc/<pid>/statm
// (CPU time in clock ticks of 10 ms); 0 when it has gone.
[[nodiscard]] double cpuSecondsOf(qint64 pid);
[[nodiscard]] qint64 residentBytesOf(qint64 pid);
// Of those, the pages no file backs: the process's own memory, without the
// pages of the libraries it shares with other processes.
[[nodiscard]] qint64 anonymousResidentBytesOf(qint64 pid);

// p-th percentile (0 to 100) of the values, nearest rank; 0 when empty.
[[nodiscard]] double percentile(std::vector<double> values, double p);

// A benchmark's latencies in milliseconds, and the trials whose result
// never came.
struct LatencyFigures
{
    std::vector<double> ms;
    int missed = 0;

    // One line: how many of count came, p50, p99 and the maximum.
    void print(const char* what, int count) const;
    [[nodiscard]] bool met(double goalMs) const
    {
        return missed == 0 && percentile(ms, 99) < goalMs;
    }
};

// The relay command of a word as the simulator prints it, CR shown as \r.
[[nodiscard]] QByteArray ShownRelayCommand(int word);

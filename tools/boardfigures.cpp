// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/boardfigures.h"

#include "board/protocol.h"

#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

void BoardFigures::onEvent(const SimulatedBoard::Event& event, bool undisturbed)
{
    if (event.kind == "info" && event.text.startsWith("inputs ")) {
        const int want = m_relaysFor(event.text.mid(7).toInt()) & m_mask;
        m_pendingSince = want != m_boardRelays ? event.time : 0;
        m_pendingRelays = want;
        return;
    }
    if (event.kind != "rx")
        return;
    if (event.text == "I0\\r") {
        if (undisturbed && m_lastQuery > 0)
            m_periods.push_back(event.time - m_lastQuery);
        m_lastQuery = undisturbed ? event.time : 0;
        return;
    }
    bool ok = false;
    const int relays = event.text.mid(1, 4).toInt(&ok, 16);
    if (event.text.size() != 7 || !event.text.startsWith('R') || !ok)
        return;
    m_boardRelays = relays & m_mask;
    if (m_pendingSince > 0 && m_boardRelays == m_pendingRelays) {
        if (undisturbed)
            m_latencies.push_back(event.time - m_pendingSince);
        m_pendingSince = 0;
    }
}

void BoardFigures::interrupt()
{
    m_lastQuery = 0;
    m_pendingSince = 0;
}

void BoardFigures::print() const
{
    std::vector<double> deviations;
    double sum = 0;
    for (const double period : m_periods) {
        deviations.push_back(std::abs(period - 0.2) * 1000);
        sum += period;
    }
    const double mean = m_periods.empty() ? 0 : sum / static_cast<double>(m_periods.size()) * 1000;
    const auto late =
        std::count_if(m_periods.begin(), m_periods.end(), [](double p) { return p > 0.210; });
    std::vector<double> latencies;
    for (const double latency : m_latencies)
        latencies.push_back(latency * 1000);
    std::printf("  poll period (board)    mean %.2f ms; deviation from 200 ms p50 %.2f, p99 %.2f,"
                " max %.2f ms; %lld of %zu periods over 210 ms\n",
                mean, percentile(deviations, 50), percentile(deviations, 99),
                percentile(deviations, 100), static_cast<long long>(late), m_periods.size());
    std::printf("  input-to-relay         p50 %.1f, p99 %.1f, max %.1f ms over %zu changes\n",
                percentile(latencies, 50), percentile(latencies, 99), percentile(latencies, 100),
                latencies.size());
}

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

namespace {

// The resident pages, or those of them that no file backs (statm's
// "shared" counts the pages of files, the program and its libraries).
qint64 residentBytesIn(const QString& statmPath, bool anonymousOnly = false)
{
    QFile statm(statmPath);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 3)
        return 0;
    const qint64 pages =
        fields.at(1).toLongLong() - (anonymousOnly ? fields.at(2).toLongLong() : 0);
    return pages * sysconf(_SC_PAGESIZE);
}

} // namespace

qint64 residentBytes()
{
    return residentBytesIn(QStringLiteral("/proc/self/statm"));
}

qint64 residentBytesOf(qint64 pid)
{
    return residentBytesIn(QStringLiteral("/proc/%1/statm").arg(pid));
}

qint64 anonymousResidentBytesOf(qint64 pid)
{
    return residentBytesIn(QStringLiteral("/proc/%1/statm").arg(pid), true);
}

double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // utime and stime are fields 14 and 15, counted from the closing bracket
    // of the command name, which may itself hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values.at(std::clamp<size_t>(rank, 1, values.size()) - 1);
}

void runEventsFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

void LatencyFigures::print(const char* what, int count) const
{
    std::printf("%-14s %3zu of %3d  p50 %6.1f  p99 %6.1f  max %6.1f ms\n", what, ms.size(), count,
                percentile(ms, 50), percentile(ms, 99), percentile(ms, 100));
}

QByteArray ShownRelayCommand(int word)
{
    return board::RelayCommandFor(word).replace('\r', "\\r");
}

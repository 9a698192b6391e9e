#include "tools/soakboard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

SimulatedBoard::SimulatedBoard(const QString& configHome, int port) : m_port(port)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    m_process.setProcessEnvironment(env);
    m_process.setProgram(QCoreApplication::applicationDirPath() +
                         QStringLiteral("/v217-boardsim"));
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, this,
                     &SimulatedBoard::readLines);
}

SimulatedBoard::~SimulatedBoard()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    command("quit");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool SimulatedBoard::start(int inputs)
{
    m_process.setArguments({QStringLiteral("--port"), QString::number(m_port),
                            QStringLiteral("--inputs"), QString::number(inputs),
                            QStringLiteral("--exit-on-eof")});
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start %s: %s\n", qPrintable(m_process.program()),
                     qPrintable(m_process.errorString()));
        return false;
    }
    if (!waitFor("ready", {}, 5000)) {
        std::fprintf(stderr, "the board simulator did not link its port\n");
        return false;
    }
    return true;
}

void SimulatedBoard::command(const QByteArray& line)
{
    m_process.write(line + '\n');
}

bool SimulatedBoard::waitFor(const QByteArray& kind, const QByteArray& prefix, int timeoutMs)
{
    m_waitKind = kind;
    m_waitPrefix = prefix;
    m_matched = false;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    m_waitLoop = &loop;
    loop.exec();
    m_waitLoop = nullptr;
    m_waitKind.clear();
    return m_matched;
}

void SimulatedBoard::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(end);
        m_partial.remove(0, end + 1);
        const qsizetype first = line.indexOf(' ');
        if (first < 0)
            continue;
        const qsizetype second = line.indexOf(' ', first + 1);
        Event event;
        event.time = line.left(first).toDouble();
        event.kind = second < 0 ? line.mid(first + 1) : line.mid(first + 1, second - first - 1);
        event.text = second < 0 ? QByteArray() : line.mid(second + 1);
        if (!m_waitKind.isEmpty() && event.kind == m_waitKind &&
            event.text.startsWith(m_waitPrefix)) {
            m_matched = true;
            m_waitKind.clear();
            if (m_waitLoop)
                m_waitLoop->quit();
        }
        if (m_onEvent)
            m_onEvent(event);
    }
}

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

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
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
    const auto rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values.at(std::clamp<size_t>(rank, 1, values.size()) - 1);
}

void runEventsFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

#include "tools/soakboard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>

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
    const QDeadlineTimer deadline(timeoutMs);
    m_waitKind = kind;
    m_waitPrefix = prefix;
    m_matched = false;
    while (!m_matched && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
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
        if (!m_waitKind.isEmpty() && event.kind == m_waitKind && event.text.startsWith(m_waitPrefix))
            m_matched = true;
        if (m_onEvent)
            m_onEvent(event);
    }
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

// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d against simulated boards: for 1, 8 and 32 boards in one process
// the poll period each board sees (p99 deviation from 200 ms, late cycles),
// and the CPU time and memory of the whole process; then the recovery time
// after a hang-up, from the link coming back to the first good input reply.
//
//   v217-bench-service [--seconds N] [--tries N]
#include "common/textlines.h"
#include "tools/boardfigures.h"
#include "tools/simulatedboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

QString program(const char* name)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../service/") +
           QString::fromLatin1(name);
}

// One simulated board in a folder of its own: every simulator links itself
// as COM 1 there, and the service opens the link by its path.
struct Board
{
    explicit Board(int inputs) : sim(home.path(), 1)
    {
        if (!sim.start(inputs))
            std::exit(1);
    }
    [[nodiscard]] QString link() const
    {
        return home.path() + QStringLiteral("/qmx-v217/ports/com1");
    }
    QTemporaryDir home;
    SimulatedBoard sim;
    std::vector<double> periods;
    double lastQuery = 0;
};

QString writeProject(const QTemporaryDir& work)
{
    const QString path = work.filePath(QStringLiteral("follow.iom"));
    WriteTextLines(path, {"0", "0", "0", "[t]", "[r]", "1H=01H", "2H=02H"});
    return path;
}

void startService(QProcess& service, const QTemporaryDir& work,
                  const std::vector<std::unique_ptr<Board>>& boards)
{
    const QString project = writeProject(work);
    QString config;
    for (size_t i = 0; i < boards.size(); ++i)
        config += QStringLiteral("[b%1]\nport = %2\nproject = %3\n")
                      .arg(i + 1)
                      .arg(boards[i]->link(), project);
    const QString path = work.filePath(QStringLiteral("bench.conf"));
    QFile file(path);
    (void)file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(config.toUtf8());
    file.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), work.filePath(QStringLiteral("state")));
    service.setProcessEnvironment(env);
    service.setStandardErrorFile(work.filePath(QStringLiteral("service.log")));
    service.start(program("qmxv217d"), {QStringLiteral("--config"), path});
    if (!service.waitForStarted(5000)) {
        std::fprintf(stderr, "qmxv217d did not start\n");
        std::exit(1);
    }
}

void runBoards(int count, int seconds)
{
    QTemporaryDir work;
    std::vector<std::unique_ptr<Board>> boards;
    for (int i = 0; i < count; ++i) {
        boards.push_back(std::make_unique<Board>(1));
        Board* board = boards.back().get();
        board->sim.setOnEvent([board](const SimulatedBoard::Event& event) {
            if (event.kind != "rx" || event.text != "I0\\r")
                return;
            if (board->lastQuery > 0)
                board->periods.push_back(event.time - board->lastQuery);
            board->lastQuery = event.time;
        });
    }
    QProcess service;
    startService(service, work, boards);
    // Settle: every board active and past its first cycles.
    runEventsFor(std::chrono::seconds(2));
    for (auto& board : boards)
        board->periods.clear();
    const double cpuStart = cpuSecondsOf(service.processId());
    const double wallStart = monotonicSeconds();
    runEventsFor(std::chrono::seconds(seconds));
    const double cpu = cpuSecondsOf(service.processId()) - cpuStart;
    const double wall = monotonicSeconds() - wallStart;
    const qint64 rss = residentBytesOf(service.processId());
    service.terminate();
    service.waitForFinished(5000);

    std::vector<double> worstP99;
    std::vector<double> all;
    long long late = 0;
    size_t periods = 0;
    for (const auto& board : boards) {
        std::vector<double> deviations;
        for (const double p : board->periods) {
            deviations.push_back(std::abs(p - 0.2) * 1000);
            late += p > 0.250 ? 1 : 0;
        }
        periods += board->periods.size();
        worstP99.push_back(percentile(deviations, 99));
        all.insert(all.end(), deviations.begin(), deviations.end());
    }
    std::printf("%2d board(s), %d s: period deviation p50 %.2f, p99 %.2f (worst board %.2f), "
                "max %.2f ms; %lld of %zu periods late (> 250 ms); CPU %.2f %% of one core "
                "(%.3f %% per board); RSS %.1f MiB\n",
                count, seconds, percentile(all, 50), percentile(all, 99), percentile(worstP99, 100),
                percentile(all, 100), late, periods, cpu / wall * 100, cpu / wall * 100 / count,
                static_cast<double>(rss) / (1024.0 * 1024.0));
    std::fflush(stdout);
}

// From the link coming back to the first good input reply, with the device
// gone long enough for the service to wait on its folder.
void recovery(int tries)
{
    std::vector<double> times;
    for (int t = 0; t < tries; ++t) {
        QTemporaryDir work;
        std::vector<std::unique_ptr<Board>> boards;
        boards.push_back(std::make_unique<Board>(1));
        SimulatedBoard& sim = boards.back()->sim;
        QProcess service;
        startService(service, work, boards);
        if (!sim.waitFor("rx", "I0\\r", 5000) || !sim.commandAndWait("hangup", "info", "hung up"))
            std::exit(1);
        // The service notices after the watchdog (1.5 s) and the first wait
        // (0.5 s); then it waits for the device.
        QFile log(work.filePath(QStringLiteral("service.log")));
        const double gone = monotonicSeconds();
        while (monotonicSeconds() - gone < 10) {
            runEventsFor(std::chrono::milliseconds(50));
            (void)log.open(QIODevice::ReadOnly);
            const bool waiting = log.readAll().contains("to come back");
            log.close();
            if (waiting)
                break;
        }
        double back = 0;
        double replied = 0;
        sim.setOnEvent([&](const SimulatedBoard::Event& event) {
            if (event.kind == "ready")
                back = event.time;
            else if (back > 0 && replied == 0 && event.kind == "tx" && event.text.startsWith("I0"))
                replied = event.time;
        });
        sim.command("relink");
        const double start = monotonicSeconds();
        while (replied == 0 && monotonicSeconds() - start < 10)
            runEventsFor(std::chrono::milliseconds(20));
        service.terminate();
        service.waitForFinished(5000);
        if (replied > 0)
            times.push_back((replied - back) * 1000);
    }
    std::printf("recovery after hang-up and re-link (%zu of %d tries): p50 %.1f ms, max %.1f ms\n",
                times.size(), tries, percentile(times, 50), percentile(times, 100));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 30;
    int tries = 20;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QStringLiteral("--seconds"))
            seconds = args.at(i + 1).toInt();
        else if (args.at(i) == QStringLiteral("--tries"))
            tries = args.at(i + 1).toInt();
    }
    for (const int count : {1, 8, 32})
        runBoards(count, seconds);
    recovery(tries);
    return 0;
}

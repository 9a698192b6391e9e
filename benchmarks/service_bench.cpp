// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d against simulated boards: for 1, 8 and 32 boards in one process
// the poll period each board sees (p99 deviation from 200 ms, late cycles),
// the CPU time and memory of the whole process, and how long SIGTERM takes
// to switch every board off; then the recovery time after a hang-up, from
// the link coming back to the first good input reply; then a board with one
// garbled reply every 10 s, and the share of the time it is under control.
//
//   v217-bench-service [--seconds N] [--tries N] [--glitch-minutes N]
//   v217-bench-service --glitch-only [--glitch-minutes N]
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
    // The stop: every board's all-off command and its echo, side by side.
    int confirmed = 0;
    for (auto& board : boards) {
        board->sim.setOnEvent([&confirmed](const SimulatedBoard::Event& event) {
            confirmed += event.kind == "tx" && event.text == "R0000\\r\\n#" ? 1 : 0;
        });
    }
    const double stopStart = monotonicSeconds();
    service.terminate();
    while (service.state() != QProcess::NotRunning && monotonicSeconds() - stopStart < 10)
        runEventsFor(std::chrono::milliseconds(5));
    const double stopMs = (monotonicSeconds() - stopStart) * 1000;

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
                "(%.3f %% per board); RSS %.1f MiB; SIGTERM to exit %.0f ms (exit status %d), "
                "%d of %d boards echoed R0000\n",
                count, seconds, percentile(all, 50), percentile(all, 99), percentile(worstP99, 100),
                percentile(all, 100), late, periods, cpu / wall * 100, cpu / wall * 100 / count,
                static_cast<double>(rss) / (1024.0 * 1024.0), stopMs, service.exitCode(), confirmed,
                count);
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

// One board whose every 10th second brings one garbled reply. Under control
// is the time the board is being polled: out of control from the garbled
// reply to the next command the board receives, which is the relay write of
// the re-activation. The poll cycles completed are counted against the
// cycles of the whole run too, which also charges the cycle the fault
// spoilt and the first command of the re-activation.
void glitches(double minutes)
{
    QTemporaryDir work;
    std::vector<std::unique_ptr<Board>> boards;
    boards.push_back(std::make_unique<Board>(1));
    SimulatedBoard& sim = boards.back()->sim;
    QProcess service;
    startService(service, work, boards);
    if (!sim.waitFor("rx", "I0\\r", 5000))
        std::exit(1);
    runEventsFor(std::chrono::seconds(1));
    double spoiltAt = 0;
    std::vector<double> outages;
    long long reads = 0;
    sim.setOnEvent([&](const SimulatedBoard::Event& event) {
        if (event.kind == "tx" && event.text.startsWith('?')) {
            spoiltAt = event.time;
        } else if (event.kind == "rx" && spoiltAt > 0) {
            outages.push_back((event.time - spoiltAt) * 1000);
            spoiltAt = 0;
        } else if (event.kind == "tx" && event.text.startsWith("I0")) {
            ++reads;
        }
    });
    const double start = monotonicSeconds();
    const double seconds = minutes * 60;
    int faults = 0;
    while (monotonicSeconds() - start < seconds) {
        if (monotonicSeconds() - start >= 10.0 * (faults + 1) - 5) {
            sim.command("garbage");
            ++faults;
        }
        runEventsFor(std::chrono::milliseconds(20));
    }
    const double run = monotonicSeconds() - start;
    service.terminate();
    service.waitForFinished(5000);
    QFile log(work.filePath(QStringLiteral("service.log")));
    (void)log.open(QIODevice::ReadOnly);
    int waits = 0;
    int firstWaits = 0;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (!line.contains("activating again in"))
            continue;
        ++waits;
        firstWaits += line.endsWith("in 0.5 s") ? 1 : 0;
    }
    double out = 0;
    for (const double o : outages)
        out += o / 1000;
    std::printf("one garbled reply every 10 s for %.0f s: %d faults, %zu re-activations seen by "
                "the board, %d waits logged of which %d of 0.5 s; out of control per fault p50 "
                "%.1f, max %.1f ms; under control %.2f %% of the time; poll cycles completed "
                "%lld of %.0f (%.2f %%)\n",
                run, faults, outages.size(), waits, firstWaits, percentile(outages, 50),
                percentile(outages, 100), 100 * (1 - out / run), reads, run / 0.2,
                100 * static_cast<double>(reads) * 0.2 / run);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 30;
    int tries = 20;
    double glitchMinutes = 10;
    bool glitchOnly = false;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QStringLiteral("--glitch-only")) {
            glitchOnly = true;
            continue;
        }
        if (i + 1 >= args.size())
            break;
        if (args.at(i) == QStringLiteral("--seconds"))
            seconds = args.at(++i).toInt();
        else if (args.at(i) == QStringLiteral("--tries"))
            tries = args.at(++i).toInt();
        else if (args.at(i) == QStringLiteral("--glitch-minutes"))
            glitchMinutes = args.at(++i).toDouble();
    }
    if (!glitchOnly) {
        for (const int count : {1, 8, 32})
            runBoards(count, seconds);
        recovery(tries);
    }
    if (glitchMinutes > 0)
        glitches(glitchMinutes);
    return 0;
}

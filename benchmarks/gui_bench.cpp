// SPDX-License-Identifier: GPL-3.0-or-later
// v217-bench-gui: the program's six windows, shown, on the real serial
// component against the board simulator. Prints
//  - start-up: from the process start and from main() to the first paint of
//    the main window;
//  - the poll cycle as the simulator sees it while active: mean period and
//    the deviation from 200 ms, late periods (over 210 ms);
//  - input-to-relay latency: from the simulator changing input 1 to the relay
//    command that carries relay 1 after the rule "1H=01H"/"1L=01L";
//  - CPU time and resident memory while active and while idle;
//  - the same figures of qmxv217d beside it, on a board of its own with the
//    same project and the same input changes, in the same minutes.
//  - with --load N, N busy loops run on the machine while active, and the
//    invalid-data reports of both programs (boxes and journal lines) are
//    counted: a board that answers at once must never be one.
// Run it under xvfb-run (or on a desktop); see docs/performance.md.
#include "common/textlines.h"
#include "desktop/program.h"
#include "serial/Serial2.h"
#include "tools/boardfigures.h"
#include "tools/simulatedboard.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Seconds from the process start to now, from /proc (10 ms resolution).
double secondsSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // Field 22 (start time in clock ticks) counts from the closing bracket
    // of the command name, which may itself hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double started = fields.value(19).toDouble() / static_cast<double>(sysconf(_SC_CLK_TCK));
    return uptime.readAll().split(' ').value(0).toDouble() - started;
}

// Notes the first paint of a widget.
class FirstPaint : public QObject
{
public:
    double at = 0;

    QEventLoop loop;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && at == 0) {
            at = monotonicSeconds();
            loop.quit();
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Usage
{
    double wall = 0;
    double cpu = 0;
    qint64 rss = 0;
    static Usage now() { return {monotonicSeconds(), cpuSeconds(), residentBytes()}; }
    static Usage of(qint64 pid)
    {
        return {monotonicSeconds(), cpuSecondsOf(pid), residentBytesOf(pid)};
    }
};

void printUsage(const char* what, const Usage& from, const Usage& to, qint64 peakRss)
{
    const double mib = 1024.0 * 1024.0;
    std::printf("  %-22s CPU %.3f s in %.0f s = %.2f %% of one core; RSS %.1f MiB (peak %.1f)\n",
                what, to.cpu - from.cpu, to.wall - from.wall,
                100.0 * (to.cpu - from.cpu) / (to.wall - from.wall), to.rss / mib, peakRss / mib);
}

} // namespace

int main(int argc, char** argv)
{
    const double mainEntered = monotonicSeconds();
    const double processAge = secondsSinceProcessStart();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMX V217"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Measures start-up, the poll cycle, input-to-relay latency, CPU time and memory\n"
        "of the program's windows against the board simulator."));
    parser.addHelpOption();
    const QCommandLineOption minutes(QStringLiteral("minutes"),
                                     QStringLiteral("Active time to measure (default 5)."),
                                     QStringLiteral("m"), QStringLiteral("5"));
    const QCommandLineOption idle(QStringLiteral("idle-seconds"),
                                  QStringLiteral("Idle time to measure (default 60)."),
                                  QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Keep the Trace window open over the last 10 minutes while active."));
    const QCommandLineOption load(
        QStringLiteral("load"),
        QStringLiteral("Busy loops to run on the machine while active (default 0)."),
        QStringLiteral("n"), QStringLiteral("0"));
    parser.addOptions({minutes, idle, trace, load});
    parser.process(app);
    const auto activeTime =
        std::chrono::milliseconds(static_cast<qint64>(parser.value(minutes).toDouble() * 60000));
    const auto idleTime =
        std::chrono::milliseconds(static_cast<qint64>(parser.value(idle).toDouble() * 1000));

    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.path() + QStringLiteral("/config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(work.path() + QStringLiteral("/state")));
    QDir::setCurrent(work.path());
    // Relay 1 follows input 1; a logging run writes a line every cycle. The
    // last-run file names no port, so start-up opens none.
    const QString project = work.path() + QStringLiteral("/bench.iom");
    WriteTextLines(project, {QStringLiteral("37257"), QStringLiteral("73051"),
                             QStringLiteral("0.2"), QStringLiteral("[t]"), QStringLiteral("[r]"),
                             QStringLiteral("1H=01H"), QStringLiteral("1L=01L")});
    WriteTextLines(QStringLiteral("v217.dat"), {QString(), project});

    // The windows, as the program makes them.
    const double windowsStart = monotonicSeconds();
    Program program;
    TIOmodFM& mainWindow = program.desktop.mainWindow;
    Controller& core = program.desktop.core;
    FirstPaint firstPaint;
    mainWindow.installEventFilter(&firstPaint);
    mainWindow.show();
    if (firstPaint.at == 0)
        firstPaint.loop.exec();
    std::printf("start-up to the first paint of the main window\n");
    std::printf("  from the process start %.0f ms (10 ms resolution)\n",
                (processAge + firstPaint.at - mainEntered) * 1000);
    std::printf("  from main()            %.1f ms, of which the windows %.1f ms\n",
                (firstPaint.at - mainEntered) * 1000, (firstPaint.at - windowsStart) * 1000);

    // The board, and the port chosen as the user would.
    SimulatedBoard board(work.path() + QStringLiteral("/config"), 1);
    BoardFigures figures([](int inputs) { return inputs & 1; }, 1);
    bool measuring = false;
    board.setOnEvent([&](const SimulatedBoard::Event& event) {
        figures.onEvent(event, measuring && core.poll().SystemActive());
    });
    if (!board.start(0))
        return 2;
    runEventsFor(300ms);
    core.run([&] { core.OpenSerialPort(QStringLiteral("1")); });
    runEventsFor(500ms);
    core.run([&] { core.ActiveButtClick(); });
    core.run([&] { core.InputRulesSBClick(); });
    core.run([&] { core.InputNowSBClick(); });
    runEventsFor(2s);
    if (!core.poll().SystemActive() || !core.rules().RulesOn() || !core.logger().LogNow()) {
        std::fprintf(stderr, "the system did not come up active with rules and logging\n");
        return 2;
    }

    // The service beside the program: one board of its own, the same
    // project, started as a user starts it.
    SimulatedBoard serviceBoard(work.path() + QStringLiteral("/service-config"), 1);
    BoardFigures serviceFigures([](int inputs) { return inputs & 1; }, 1);
    serviceBoard.setOnEvent(
        [&](const SimulatedBoard::Event& event) { serviceFigures.onEvent(event, measuring); });
    if (!serviceBoard.start(0))
        return 2;
    QProcess service;
    QProcessEnvironment serviceEnv = QProcessEnvironment::systemEnvironment();
    serviceEnv.insert(QStringLiteral("XDG_STATE_HOME"), work.path() + QStringLiteral("/service"));
    service.setProcessEnvironment(serviceEnv);
    service.setStandardErrorFile(work.path() + QStringLiteral("/service.log"));
    service.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../service/qmxv217d"),
                  {QStringLiteral("--port"),
                   work.path() + QStringLiteral("/service-config/qmx-v217/ports/com1"),
                   QStringLiteral("--project"), project});
    if (!service.waitForStarted(5000)) {
        std::fprintf(stderr, "qmxv217d did not start\n");
        return 2;
    }
    runEventsFor(2s);

    // Active: input 1 changes at random moments 0.3 to 3 s apart, on both
    // boards alike.
    QTimer inputs;
    inputs.setSingleShot(true);
    QObject::connect(&inputs, &QTimer::timeout, &board, [&] {
        const QByteArray line =
            "inputs " + QByteArray::number(QRandomGenerator::global()->bounded(64));
        board.command(line);
        serviceBoard.command(line);
        inputs.start(std::chrono::milliseconds(QRandomGenerator::global()->bounded(300, 3000)));
    });
    qint64 peakRss = 0;
    qint64 servicePeakRss = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &board, [&] {
        peakRss = std::max(peakRss, residentBytes());
        servicePeakRss = std::max(servicePeakRss, residentBytesOf(service.processId()));
    });
    sampler.start(1s);
    int stops = 0;
    int invalidBoxes = 0;
    // A stop (a box of the poll cycle) would end the figures: close it,
    // count it and activate again.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, &board, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            if (auto* message = qobject_cast<QMessageBox*>(box);
                message && message->text().contains(QStringLiteral("Invalid data")))
                ++invalidBoxes;
            box->close();
            ++stops;
        }
        if (measuring && !core.poll().SystemActive()) {
            figures.interrupt();
            core.run([&] { core.ActiveButtClick(); });
            core.run([&] { core.InputNowSBClick(); });
        }
    });
    guard.start(500ms);

    if (parser.isSet(trace)) {
        program.desktop.traceWindow.show();
        if (auto* span =
                program.desktop.traceWindow.findChild<QComboBox*>(QStringLiteral("MinutesBox")))
            span->setCurrentIndex(1);
    }
    // The load: shells that never wait, one core each.
    std::vector<std::unique_ptr<QProcess>> busyLoops;
    for (int i = 0; i < parser.value(load).toInt(); ++i) {
        busyLoops.push_back(std::make_unique<QProcess>());
        busyLoops.back()->start(QStringLiteral("/bin/sh"),
                                {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }
    const Usage activeFrom = Usage::now();
    const Usage serviceFrom = Usage::of(service.processId());
    measuring = true;
    inputs.start(1s);
    runEventsFor(activeTime);
    measuring = false;
    inputs.stop();
    const Usage activeTo = Usage::now();
    const Usage serviceTo = Usage::of(service.processId());
    for (const std::unique_ptr<QProcess>& loop : busyLoops) {
        loop->kill();
        loop->waitForFinished(1000);
    }
    service.terminate();
    const bool serviceStopped = service.waitForFinished(5000) &&
                                service.exitStatus() == QProcess::NormalExit &&
                                service.exitCode() == 0;

    core.run([&] { core.ActiveButtClick(); });
    runEventsFor(1s);
    const bool closed = !core.poll().SystemActive();
    guard.stop();
    const Usage idleFrom = Usage::now();
    runEventsFor(idleTime);
    const Usage idleTo = Usage::now();

    std::printf("poll cycle with the main window shown%s (%.0f s active, %zu busy loops)\n",
                parser.isSet(trace) ? " and the Trace window open" : "",
                activeTo.wall - activeFrom.wall, busyLoops.size());
    figures.print();
    std::printf("  stops (message boxes)  %d, of them invalid data %d\n", stops, invalidBoxes);
    std::printf("the program's process\n");
    printUsage("active", activeFrom, activeTo, peakRss);
    printUsage("idle", idleFrom, idleTo, peakRss);
    std::printf("qmxv217d beside it, in the same minutes (one board, the same project)\n");
    serviceFigures.print();
    QFile serviceLog(work.path() + QStringLiteral("/service.log"));
    const QByteArray journal = serviceLog.open(QIODevice::ReadOnly) ? serviceLog.readAll() : "";
    std::printf("  invalid data reports   %lld\n",
                static_cast<long long>(journal.count("Invalid data received")));
    printUsage("active", serviceFrom, serviceTo, servicePeakRss);
    if (!closed)
        std::fprintf(stderr, "the system did not close on the second Activate\n");
    if (!serviceStopped)
        std::fprintf(stderr, "qmxv217d did not stop with exit status 0 on SIGTERM\n");
    return closed && serviceStopped ? 0 : 1;
}

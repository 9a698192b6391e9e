// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d against board simulators over pseudo-terminals: what reaches the
// wire, recovery without a person, the stop and reload signals, several
// boards in one process, and the log file on disk.
#include "common/daynumber.h"
#include "common/textlines.h"
#include "serviceprocess.h"
#include "timers/chantimer.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

double today()
{
    return DateTimeToDayNumber(QDateTime::currentDateTime());
}

// A timer record for relay `channel` whose window is open all today.
QStringList openRecord(const QString& channel)
{
    return chantimer::MakeRecord(channel, today() - 1, today() + 1, QStringLiteral("0"),
                                 QStringLiteral("0"), QStringLiteral("0000000"), QLatin1Char('.'));
}

// The lines of a file that ended with their CR LF; a line cut short by a
// kill is left out.
QList<QByteArray> wholeLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    for (QByteArray& line : lines) {
        EXPECT_TRUE(line.endsWith('\r'));
        line.chop(1);
    }
    return lines;
}

class ServiceEndToEnd : public ::testing::Test
{
protected:
    QString project(const QString& name, const QStringList& timers, const QStringList& rules,
                    double logOn = 0, double logOff = 0, double interval = 0)
    {
        QStringList lines{QString::number(logOn, 'f', 10), QString::number(logOff, 'f', 10),
                          QString::number(interval, 'f', 10), QStringLiteral("[t]")};
        lines += timers;
        lines += QStringLiteral("[r]");
        lines += rules;
        const QString path = work.filePath(name);
        WriteTextLines(path, lines);
        return path;
    }
    QString config(const QString& text)
    {
        const QString path = work.filePath(QStringLiteral("qmxv217d.conf"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        return path;
    }
    SimulatedBoard& board(int port, int inputs = 0)
    {
        sims.push_back(
            std::make_unique<SimulatedBoard>(config_.path(), port, QStringLiteral(V217_BOARDSIM)));
        SimulatedBoard& sim = *sims.back();
        sim.keepEvents();
        EXPECT_TRUE(sim.start(inputs));
        return sim;
    }
    QString link(int port) const
    {
        return config_.path() + QStringLiteral("/qmx-v217/ports/com%1").arg(port);
    }
    // The simple rule project most tests run: relay 1 follows input 1.
    QString followProject() { return project(QStringLiteral("follow.iom"), {}, {"1H=01H"}); }
    // Waits for the board to receive a command; true when it came.
    static bool received(SimulatedBoard& sim, const QByteArray& command,
                         milliseconds bound = seconds(10))
    {
        return sim.waitFor("rx", command, static_cast<int>(bound.count()));
    }

    QTemporaryDir work;
    QTemporaryDir config_;
    QTemporaryDir state;
    std::vector<std::unique_ptr<SimulatedBoard>> sims;
    ServiceProcess service{config_.path(), state.path()};
};

TEST_F(ServiceEndToEnd, TimerRecordsAndRulesOfTheProjectDriveTheWire)
{
    SimulatedBoard& sim = board(4, 1);
    const QString path = project(QStringLiteral("tank.iom"), openRecord("01") + openRecord("02"),
                                 {"1H=03H", "2H=04H"});
    service.start({"--port", "4", "--project", path});
    // Relays 1 and 2 by their records, relay 3 by input 1.
    ASSERT_TRUE(received(sim, "R0007\\r")) << sim.log() << service.log();
    ASSERT_TRUE(sim.commandAndWait("inputs 3"));
    ASSERT_TRUE(received(sim, "R000F\\r")) << sim.log() << service.log();
    EXPECT_GE(service.waitForLine("Timers ON"), 0);
    EXPECT_GE(service.waitForLine("Input rules ON"), 0);
    EXPECT_EQ(service.count("error"), 0) << service.log();
}

TEST_F(ServiceEndToEnd, EachFaultEndsInItsMessageAndAResumedCycleWithNobodyThere)
{
    SimulatedBoard& sim = board(4, 1);
    service.start({"--port", link(4), "--project", followProject()});
    ASSERT_TRUE(received(sim, "I0\\r")) << service.log();

    struct Fault
    {
        QByteArray command;
        QByteArray undo;
        QString message;
    };
    const QList<Fault> faults{
        {"silent on", "silent off", QStringLiteral("The board is not responding.")},
        {"garbage", {}, QStringLiteral("Error: Invalid data received")},
        {"lowercase", {}, QStringLiteral("Error: Invalid data received")},
        {"delay 2500", "delay 0", QStringLiteral("The board is not responding.")},
        {"hangup", "relink", QStringLiteral("The board is not responding.")},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.command.toStdString());
        const qsizetype mark = service.lines().size();
        sim.command(fault.command);
        const qsizetype failed = service.waitForLine(fault.message, mark);
        ASSERT_GE(failed, 0) << service.log();
        if (!fault.undo.isEmpty())
            sim.command(fault.undo);
        const qsizetype resumed =
            service.waitForLine(QStringLiteral("System opened"), failed, seconds(15));
        ASSERT_GE(resumed, 0) << service.log();
        // A whole cycle after the fault: a relay write and an input read
        // answered, seen by the next relay write.
        const qsizetype events = sim.events().size();
        ASSERT_TRUE(received(sim, "I0\\r")) << sim.log();
        ASSERT_TRUE(received(sim, "R0001\\r")) << sim.log();
        EXPECT_GT(sim.events().size(), events);
    }
}

TEST_F(ServiceEndToEnd, ComNumberTakesTheLinkBesideTheConfigurationFirstAndSaysWhichDevice)
{
    // COM 1 of the user's port folder, which must not be the one opened.
    SimulatedBoard& users = board(1);
    SimulatedBoard beside(config_.path(), 0, QStringLiteral(V217_BOARDSIM));
    beside.keepEvents();
    ASSERT_TRUE(beside.start());
    const QString ports = work.filePath(QStringLiteral("ports"));
    ASSERT_TRUE(QDir().mkpath(ports));
    ASSERT_TRUE(QFile::link(beside.terminal(), ports + QStringLiteral("/com1")));
    followProject();
    service.start({"--config", config(QStringLiteral("[tank]\nport = 1\nproject = follow.iom\n"))});
    ASSERT_TRUE(received(beside, "I0\\r")) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("tank: info: COM 1 is %1 (the link %2/com1)")
                                .arg(beside.terminal(), ports)),
              1)
        << service.log();
    EXPECT_TRUE(users.commands().isEmpty()) << users.log();

    // With no link anywhere the usual device is named, with where no link was.
    ServiceProcess plain(config_.path(), state.path());
    plain.start({"--name", "board", "--port", "9", "--project",
                 work.filePath(QStringLiteral("follow.iom"))});
    EXPECT_GE(plain.waitForLine(QStringLiteral("board: info: COM 9 is /dev/ttyACM1 (no link com9 "
                                               "in %1/qmx-v217/ports)")
                                    .arg(config_.path())),
              0)
        << plain.log();
}

TEST_F(ServiceEndToEnd, DeviceThatNeverComesBackIsNotOpenedAgainUntilItIs)
{
    SimulatedBoard& sim = board(4, 1);
    service.start({"--port", link(4), "--project", followProject()});
    ASSERT_TRUE(received(sim, "I0\\r")) << service.log();
    const qsizetype mark = service.lines().size();
    ASSERT_TRUE(sim.commandAndWait("hangup"));
    // Unplugged, its link goes too: the kernel gives a freed terminal's
    // number to the next one made, which may be another test's board.
    ASSERT_TRUE(QFile::remove(link(4)));
    ASSERT_GE(service.waitForLine(QStringLiteral("to come back"), mark), 0) << service.log();

    // Changes in the watched folder that do not bring the device back.
    const qsizetype waiting = service.lines().size();
    const QString folder = QFileInfo(link(4)).absolutePath();
    for (int i = 0; i < 20; ++i) {
        QFile other(folder + QStringLiteral("/other%1").arg(i));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.close();
        other.remove();
    }
    sim.command("relink");
    const qsizetype back = service.waitForLine(QStringLiteral("is back"), waiting);
    ASSERT_GE(back, 0) << service.log();
    // No open while the device was gone, whatever changed in its folder.
    EXPECT_EQ(service.count(QStringLiteral("opening"), mark) -
                  service.count(QStringLiteral("opening"), back),
              0)
        << service.log();
    ASSERT_TRUE(received(sim, "R0001\\r"));
}

TEST_F(ServiceEndToEnd, StableNameThatGoesWithItsDeviceAndComesBackReopensTheBoard)
{
    // An unlinked simulator stands in for a USB adapter, a scratch by-id
    // folder for udev's: unplugging takes the link and its folder along,
    // plugging in makes both again for a new node.
    sims.push_back(
        std::make_unique<SimulatedBoard>(config_.path(), 0, QStringLiteral(V217_BOARDSIM)));
    SimulatedBoard& sim = *sims.back();
    sim.keepEvents();
    ASSERT_TRUE(sim.start(1));
    const QString byId = work.filePath(QStringLiteral("serial/by-id"));
    const QString name = byId + QStringLiteral("/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    ASSERT_TRUE(QDir().mkpath(byId));
    ASSERT_TRUE(QFile::link(sim.terminal(), name));
    service.start({"--port", name, "--project", followProject()});
    ASSERT_TRUE(received(sim, "I0\\r")) << service.log();
    EXPECT_GE(service.waitForLine(QStringLiteral("opening ") + name), 0) << service.log();

    const qsizetype mark = service.lines().size();
    ASSERT_TRUE(sim.commandAndWait("hangup"));
    ASSERT_TRUE(QDir(byId).removeRecursively());
    ASSERT_GE(service.waitForLine(QStringLiteral("to come back"), mark), 0) << service.log();

    // The kernel may give the new terminal the old one's number.
    ASSERT_TRUE(sim.commandAndWait("relink", "ready"));
    ASSERT_TRUE(QDir().mkpath(byId));
    ASSERT_TRUE(QFile::link(sim.terminal(), name));
    ASSERT_GE(service.waitForLine(QStringLiteral("is back"), mark), 0) << service.log();
    ASSERT_TRUE(received(sim, "R0001\\r")) << sim.log() << service.log();
}

TEST_F(ServiceEndToEnd, DeviceThatCannotBeOpenedIsTriedAtADoublingInterval)
{
    // A device node that is there but refuses the open, even to root.
    const QString node = work.filePath(QStringLiteral("ttyFolder"));
    ASSERT_TRUE(QDir().mkpath(node));
    service.start({"--port", node, "--project", followProject()});
    qsizetype at = 0;
    QList<qint64> attempts;
    for (int i = 0; i < 4; ++i) {
        at = service.waitForLine(QStringLiteral("opening"), at, seconds(15));
        ASSERT_GE(at, 0) << service.log();
        attempts.append(service.lines().at(at).ms);
        ++at;
    }
    // 0.5 s, 1 s, 2 s between the attempts (a timer may fire 5 % early):
    // three more opens in 3.5 s.
    EXPECT_GE(attempts[1] - attempts[0], 450);
    EXPECT_GE(attempts[2] - attempts[1], 900);
    EXPECT_GE(attempts[3] - attempts[2], 1800);
}

TEST_F(ServiceEndToEnd, StopOffPutsOneAllOffOnTheWireAndStopKeepNone)
{
    for (const char* stop : {"off", "keep"}) {
        SCOPED_TRACE(stop);
        const int port = QByteArray(stop) == "off" ? 4 : 5;
        SimulatedBoard& sim = board(port, 1);
        ServiceProcess one(config_.path(), state.path());
        one.start({"--port", QString::number(port), "--project", followProject(), "--start-state",
                   "0100", "--stop-state", stop});
        ASSERT_TRUE(received(sim, "R0101\\r")) << one.log();
        ASSERT_TRUE(received(sim, "I0\\r"));
        one.signal(SIGTERM);
        ASSERT_TRUE(one.waitForExit(seconds(5)));
        EXPECT_EQ(one.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(one.exitCode(), 0) << one.log();
        ASSERT_TRUE(sim.commandAndWait("prompt"));
        const QList<QByteArray> commands = sim.commands();
        EXPECT_EQ(commands.count("R0000\\r"), QByteArray(stop) == "off" ? 1 : 0) << sim.log();
    }
}

TEST_F(ServiceEndToEnd, AFaultAfterAWholeCycleIsWaitedOutFromHalfASecondAgain)
{
    SimulatedBoard& sim = board(4, 1);
    service.start({"--port", "4", "--project", followProject()});
    ASSERT_TRUE(received(sim, "I0\\r")) << service.log();
    const auto nextWait = [&](qsizetype mark) {
        const qsizetype at = service.waitForLine(QStringLiteral("activating again"), mark);
        return at < 0 ? std::string()
                      : service.lines().at(at).text.section(QLatin1Char(' '), -2).toStdString();
    };
    // A glitch now and then: each time the board has answered a whole
    // cycle since, so each wait is the first.
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const qsizetype mark = service.lines().size();
        sim.command("garbage");
        EXPECT_EQ(nextWait(mark), "0.5 s") << service.log();
        ASSERT_GE(service.waitForLine(QStringLiteral("System opened"), mark), 0);
        ASSERT_TRUE(received(sim, "I0\\r"));
        ASSERT_TRUE(received(sim, "R0001\\r"));
        ASSERT_TRUE(received(sim, "I0\\r"));
    }
    // A board that fails again before a whole cycle waits longer each time.
    const qsizetype mark = service.lines().size();
    sim.command("garbage");
    EXPECT_EQ(nextWait(mark), "0.5 s") << service.log();
    sim.command("garbage");
    EXPECT_EQ(nextWait(service.waitForLine(QStringLiteral("System opened"), mark)), "1 s")
        << service.log();
}

TEST_F(ServiceEndToEnd, StopSwitchesOffEveryOpenBoardAtOnceAndNamesTheOnesNotConfirmed)
{
    // run: polled normally. glitch: its first reply after the signal comes
    // garbled.
    // wait: between two attempts to bring it back. gone: unplugged with
    // relay 1 on. mute1..3: silent.
    const QStringList names{"run", "glitch", "wait", "gone", "mute1", "mute2", "mute3"};
    QString text;
    for (int i = 0; i < names.size(); ++i) {
        board(i + 2, 1);
        text += QStringLiteral("[%1]\nport = %2\nproject = follow.iom\nstart-state = 0100\n")
                    .arg(names.at(i), link(i + 2));
    }
    followProject();
    service.start({"--config", config(text)});
    for (const auto& sim : sims)
        ASSERT_TRUE(received(*sim, "R0101\\r")) << service.log();
    SimulatedBoard& glitch = *sims.at(1);
    SimulatedBoard& wait = *sims.at(2);
    SimulatedBoard& gone = *sims.at(3);

    ASSERT_TRUE(gone.commandAndWait("hangup"));
    // Its link goes with it, so no other test's new terminal that takes
    // the freed number brings it back.
    ASSERT_TRUE(QFile::remove(link(5)));
    ASSERT_GE(service.waitForLine(QStringLiteral("gone: warning: waiting for")), 0)
        << service.log();
    // A second garbled reply, the first after the re-activation: the next
    // wait is a whole second long.
    wait.command("garbage");
    ASSERT_GE(service.waitForLine(QStringLiteral("wait: warning: activating again in 0.5 s")), 0);
    wait.command("garbage");
    ASSERT_GE(service.waitForLine(QStringLiteral("wait: warning: activating again in 1 s")), 0)
        << service.log();
    for (int i = 4; i < 7; ++i)
        ASSERT_TRUE(sims.at(i)->commandAndWait("silent on"));
    ASSERT_TRUE(glitch.commandAndWait("silent on"));
    ASSERT_TRUE(glitch.commandAndWait("garbage"));
    std::vector<qsizetype> from;
    for (const auto& sim : sims)
        from.push_back(sim->events().size());

    const qsizetype mark = service.lines().size();
    service.signal(SIGTERM);
    glitch.command("silent off");
    ASSERT_TRUE(service.waitForExit(seconds(5)));
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 1) << service.log();
    // A garbled reply came during the stop, and did not end it.
    const QList<SimulatedBoard::Event>& events = glitch.events();
    EXPECT_TRUE(std::any_of(events.begin() + from.at(1), events.end(), [](const auto& e) {
        return e.kind == "tx" && e.text.startsWith('?');
    })) << glitch.log();
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names.at(i).toStdString());
        const QString line = names.at(i) + QStringLiteral(": error: relays may still be on");
        EXPECT_EQ(service.count(line, mark), i >= 3 ? 1 : 0) << service.log();
        if (i == 3)
            continue;
        ASSERT_TRUE(sims.at(i)->commandAndWait("prompt"));
        EXPECT_TRUE(sims.at(i)->commands(from.at(i)).contains("R0000\\r")) << sims.at(i)->log();
    }
    EXPECT_GE(
        service.waitForLine(
            QStringLiteral("stopped; relays may still be on at gone, mute1, mute2, mute3"), mark),
        0)
        << service.log();
    // The silent boards waited side by side: one second, not three.
    const qint64 began =
        service.lines().at(service.waitForLine(QStringLiteral("stopping"), mark)).ms;
    EXPECT_LT(service.lines().last().ms - began, 2500) << service.log();
}

TEST_F(ServiceEndToEnd, ReloadTakesAGoodProjectAndKeepsTheOldForABrokenOne)
{
    SimulatedBoard& sim = board(4, 1);
    const QString path = project(QStringLiteral("tank.iom"), {}, {"1H=01H"});
    const QString conf = config(QStringLiteral("[tank]\nport = 4\nproject = tank.iom\n"));
    service.start({"--config", conf});
    ASSERT_TRUE(received(sim, "R0001\\r")) << service.log();

    project(QStringLiteral("tank.iom"), {}, {"1H=01L02H"});
    service.signal(SIGHUP);
    ASSERT_TRUE(received(sim, "R0002\\r")) << service.log();

    project(QStringLiteral("tank.iom"), {}, {"1X=04H"});
    const qsizetype mark = service.lines().size();
    service.signal(SIGHUP);
    const qsizetype kept =
        service.waitForLine(QStringLiteral("the old project keeps running"), mark);
    ASSERT_GE(kept, 0) << service.log();
    EXPECT_TRUE(service.lines().at(kept).text.contains(path + QStringLiteral(":6:")))
        << service.lines().at(kept).text.toStdString();
    const qsizetype from = sim.events().size();
    ASSERT_TRUE(received(sim, "I0\\r"));
    ASSERT_TRUE(received(sim, "R0002\\r"));
    EXPECT_FALSE(sim.commands(from).contains("R0004\\r"));

    // A board that leaves the configuration stops as its stop-state says; a
    // new one starts.
    SimulatedBoard& pump = board(5, 1);
    project(QStringLiteral("pump.iom"), {}, {"1H=03H"});
    config(QStringLiteral("[pump]\nport = 5\nproject = pump.iom\n"));
    const qsizetype before = sim.events().size();
    service.signal(SIGHUP);
    ASSERT_TRUE(received(pump, "R0004\\r")) << service.log();
    ASSERT_GE(service.waitForLine(QStringLiteral("tank: info: System closed")), 0);
    EXPECT_EQ(sim.commands(before).count("R0000\\r"), 1) << sim.log();
}

TEST_F(ServiceEndToEnd, TellsTheServiceManagerItIsReadyAndAliveFromItsEventLoop)
{
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(work.filePath(QStringLiteral("notify")));
    ASSERT_LT(path.size(), static_cast<qsizetype>(sizeof address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QStringList messages;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &notifier, [&] {
        char buffer[256];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got > 0)
            messages.append(QString::fromUtf8(buffer, got).trimmed());
    });

    SimulatedBoard& sim = board(4, 1);
    service.setEnvironment(QStringLiteral("NOTIFY_SOCKET"), QString::fromLocal8Bit(path));
    service.setEnvironment(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
    service.start({"--port", "4", "--project", followProject()});
    ASSERT_TRUE(waitUntil([&] { return messages.count(QStringLiteral("WATCHDOG=1")) >= 3; }))
        << messages.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(messages.first(), QStringLiteral("READY=1"));
    ASSERT_TRUE(received(sim, "R0001\\r"));
    service.signal(SIGTERM);
    ASSERT_TRUE(service.waitForExit());
    EXPECT_TRUE(waitUntil([&] { return messages.contains(QStringLiteral("STOPPING=1")); }));
    ::close(fd);
}

TEST_F(ServiceEndToEnd, TwoBoardsInOneProcessRunTheirOwnProjects)
{
    SimulatedBoard& tank = board(4, 1);
    SimulatedBoard& pump = board(5, 1);
    project(QStringLiteral("tank.iom"), {}, {"1H=01H"});
    project(QStringLiteral("pump.iom"), openRecord("16"), {"1H=02H"});
    const QString conf = config(QStringLiteral("# two boards\n"
                                               "[tank]\nport = 4\nproject = tank.iom\n\n"
                                               "[pump]\nport = 5\nproject = pump.iom\n"
                                               "start-state = 0100\n"));
    service.start({"--config", conf});
    ASSERT_TRUE(received(tank, "R0001\\r")) << service.log();
    ASSERT_TRUE(received(pump, "R8102\\r")) << service.log();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(received(tank, "I0\\r"));
        ASSERT_TRUE(received(pump, "I0\\r"));
    }
    for (const QByteArray& c : tank.commands())
        EXPECT_TRUE(c == "R0001\\r" || c == "I0\\r" || c == "R0000\\r") << c.toStdString();
    for (const QByteArray& c : pump.commands())
        EXPECT_TRUE(c == "R0100\\r" || c == "R8100\\r" || c == "R8102\\r" || c == "I0\\r")
            << c.toStdString();
    EXPECT_GT(service.count(QStringLiteral("tank: info: System opened")), 0);
    EXPECT_GT(service.count(QStringLiteral("pump: info: System opened")), 0);
}

TEST_F(ServiceEndToEnd, BadConfigurationOrProjectExitsTwoNamingFileAndLine)
{
    const QString good = followProject();
    struct Case
    {
        QStringList arguments;
        QString expected;
    };
    const QString conf = config(QStringLiteral("[tank]\nport = 4\nproject = follow.iom\n"
                                               "stop-state = later\n"));
    const QString broken = project(QStringLiteral("broken.iom"), {}, {"1H=01H", "7H=02H"});
    const QString nul = work.filePath(QStringLiteral("nul.conf"));
    {
        QFile file(nul);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const char text[] = "[tank]\nproject = follow.iom\nport = /dev/v217-none\0/x\n";
        file.write(text, sizeof text - 1);
    }
    const QString secret = work.filePath(QStringLiteral("mqtt-password"));
    {
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("s3cret\n");
        ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    const QList<Case> cases{
        {{"--config", conf}, conf + QStringLiteral(":4: stop-state 'later'")},
        {{"--config", nul}, nul + QStringLiteral(":3: the line holds a NUL byte")},
        {{"--port", "4", "--project", broken}, broken + QStringLiteral(":7: rule '7H=02H'")},
        {{"--port", "4", "--project", work.filePath("none.iom")}, QStringLiteral("no such")},
        {{"--port", "COM4", "--project", good}, QStringLiteral("option --port")},
        {{"--port", "4"}, QStringLiteral("give --port and --project")},
        {{"--name", "board", "--port", "4", "--project", good, "--mqtt", "mqtt://127.0.0.1",
          "--mqtt-password-file", secret},
         QStringLiteral("board 'board': the MQTT password file %1 is open to other users (mode "
                        "0644); it is not used: chmod 600 %1")
             .arg(secret)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        ServiceProcess bad(config_.path(), state.path());
        bad.start(c.arguments);
        ASSERT_TRUE(bad.waitForExit());
        EXPECT_EQ(bad.exitCode(), 2);
        ASSERT_EQ(bad.lines().size(), 1) << bad.log();
        EXPECT_TRUE(bad.lines().first().text.contains(c.expected)) << bad.log();
    }
}

TEST_F(ServiceEndToEnd, LogLinesOnDiskEqualTheCapturedLinesAfterAKill)
{
    SimulatedBoard& sim = board(4, 5);
    const QString logFile = work.filePath(QStringLiteral("tank.log"));
    service.start(
        {"--name", "tank", "--port", "4", "--log-file", logFile, "--project",
         project(QStringLiteral("log.iom"), {}, {"1H=01H"}, today() - 1, today() + 1, 0.2)});
    ASSERT_GE(service.waitForLine(QStringLiteral("Logging activated")), 0) << service.log();
    const int reads = 10 + static_cast<int>(QRandomGenerator::global()->bounded(20));
    for (int i = 0; i < reads; ++i)
        ASSERT_TRUE(received(sim, "I0\\r"));
    service.signal(SIGKILL);
    ASSERT_TRUE(service.waitForExit());

    QFile disk(logFile);
    ASSERT_TRUE(disk.open(QIODevice::ReadOnly));
    const QList<QByteArray> written = wholeLines(disk.readAll());
    // The safety copy in the state folder takes every line as it is
    // captured, right after the log file.
    QFile copy(state.path() + QStringLiteral("/qmx-v217/tank/log-recovery.txt"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QList<QByteArray> captured = wholeLines(copy.readAll());
    ASSERT_GE(written.size(), 7 + reads - 2);
    EXPECT_EQ(written.first(), "Log on Timer initiated");
    EXPECT_EQ(written.at(5), "LogCount    Time            Input           Relay");
    // Equal but for the line being written at the kill.
    EXPECT_LE(std::abs(written.size() - captured.size()), 1);
    const qsizetype common = std::min(written.size(), captured.size());
    EXPECT_EQ(written.mid(0, common), captured.mid(0, common));
    EXPECT_TRUE(written.last().startsWith(QByteArray::number(written.size() - 8).rightJustified(8)))
        << written.last().toStdString();
}

// What logrotate does: rename, then a signal: SIGUSR1, which the package's
// snippet sends and which only reopens the log files, or SIGHUP, which
// reloads as well.
TEST_F(ServiceEndToEnd, ASignalAfterARotationSendsTheNextLinesToANewLogFile)
{
    SimulatedBoard& sim = board(4, 5);
    const QString logFile = work.filePath(QStringLiteral("tank.log"));
    service.start(
        {"--name", "tank", "--port", "4", "--log-file", logFile, "--project",
         project(QStringLiteral("log.iom"), {}, {"1H=01H"}, today() - 1, today() + 1, 0.2)});
    ASSERT_GE(service.waitForLine(QStringLiteral("Logging activated")), 0) << service.log();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(received(sim, "I0\\r"));
    const QList<std::pair<int, QString>> rotations{
        {SIGUSR1, QStringLiteral("opening the log files anew")},
        {SIGHUP, QStringLiteral("reloading")}};
    QList<QByteArray> written;
    for (const auto& [signal, said] : rotations) {
        const QString rotated = logFile + QStringLiteral(".%1").arg(signal);
        ASSERT_TRUE(QFile::rename(logFile, rotated)) << said.toStdString();
        service.signal(signal);
        ASSERT_GE(service.waitForLine(said), 0) << service.log();
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(received(sim, "I0\\r"));
        QFile before(rotated);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        written += wholeLines(before.readAll());
        ASSERT_TRUE(QFileInfo::exists(logFile)) << "no new log file after " << said.toStdString();
    }
    service.signal(SIGKILL);
    ASSERT_TRUE(service.waitForExit());
    QFile after(logFile);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    const QList<QByteArray> fresh = wholeLines(after.readAll());
    ASSERT_GE(fresh.size(), 3);
    written += fresh;

    // Together the files hold the run, each line once.
    QFile copy(state.path() + QStringLiteral("/qmx-v217/tank/log-recovery.txt"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QList<QByteArray> captured = wholeLines(copy.readAll());
    EXPECT_LE(std::abs(written.size() - captured.size()), 1);
    const qsizetype common = std::min(written.size(), captured.size());
    EXPECT_EQ(written.mid(0, common), captured.mid(0, common));
}

// The first relay command the board received from kept event `from` on.
QByteArray firstRelayWrite(SimulatedBoard& sim, qsizetype from)
{
    const auto first = [&] {
        for (const QByteArray& command : sim.commands(from))
            if (command.startsWith('R'))
                return command;
        return QByteArray();
    };
    EXPECT_TRUE(waitUntil([&] { return !first().isEmpty(); }, seconds(10))) << sim.log();
    return first();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void replace(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST_F(ServiceEndToEnd, StartStateLastBringsBackTheRelaysOfAKilledServiceAndOffAfterAStop)
{
    SimulatedBoard& sim = board(4);
    const QString kept = project(QStringLiteral("kept.iom"),
                                 openRecord("01") + openRecord("03") + openRecord("09"), {});
    const QString file = state.path() + QStringLiteral("/qmx-v217/tank.relays");
    const QStringList arguments{"--name",    "tank", "--port",        "4",
                                "--project", kept,   "--start-state", "last"};
    service.start(arguments);
    ASSERT_TRUE(received(sim, "R0105\\r")) << service.log();
    EXPECT_GE(service.waitForLine(QStringLiteral("tank: info: start state last: %1 does not "
                                                 "exist; relays off")
                                      .arg(file)),
              0)
        << service.log();
    ASSERT_TRUE(waitUntil([&] { return contents(file) == "0105\n"; })) << contents(file).data();
    service.signal(SIGKILL);
    ASSERT_TRUE(service.waitForExit());

    // TIMERS off: the relays come from the kept word alone.
    const QStringList timersOff = arguments + QStringList{"--timers", "off"};
    qsizetype mark = sim.events().size();
    ServiceProcess again(config_.path(), state.path());
    again.start(timersOff);
    EXPECT_EQ(firstRelayWrite(sim, mark), "R0105\\r");
    EXPECT_GE(again.waitForLine(QStringLiteral("tank: info: start state 0105, as last confirmed "
                                               "before the service stopped")),
              0)
        << again.log();
    ASSERT_TRUE(received(sim, "I0\\r"));
    // A stop switches all off, and the board confirms it: nothing comes
    // back on.
    again.signal(SIGTERM);
    ASSERT_TRUE(again.waitForExit());
    EXPECT_EQ(contents(file), "0000\n");

    replace(file, "R01\n");
    mark = sim.events().size();
    ServiceProcess damaged(config_.path(), state.path());
    damaged.start(timersOff);
    EXPECT_EQ(firstRelayWrite(sim, mark), "R0000\\r");
    EXPECT_GE(
        damaged.waitForLine(QStringLiteral("tank: warning: start state last: %1 holds no relay "
                                           "word; relays off")
                                .arg(file)),
        0)
        << damaged.log();
    damaged.signal(SIGTERM);
    ASSERT_TRUE(damaged.waitForExit());

    // Without start-state last no word is kept, and an old one goes: it
    // would not be the last any more when last is set again.
    ASSERT_TRUE(QFileInfo::exists(file));
    ServiceProcess fixed(config_.path(), state.path());
    fixed.start(arguments.mid(0, 6));
    ASSERT_GE(fixed.waitForLine(QStringLiteral("System opened")), 0) << fixed.log();
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(ServiceEndToEnd, StartStateScheduleWritesWhatTheTimerRecordsSayAtActivation)
{
    SimulatedBoard& open = board(4);
    SimulatedBoard& closed = board(5);
    project(QStringLiteral("open.iom"), openRecord("02") + openRecord("11"), {});
    project(QStringLiteral("closed.iom"),
            chantimer::MakeRecord(QStringLiteral("02"), today() - 3, today() - 2,
                                  QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("0000000"), QLatin1Char('.')),
            {});
    // TIMERS off: the first write is the start state's alone.
    service.start({"--config", config(QStringLiteral("[open]\nport = 4\nproject = open.iom\n"
                                                     "timers = off\nstart-state = schedule\n"
                                                     "[closed]\nport = 5\nproject = closed.iom\n"
                                                     "timers = off\nstart-state = schedule\n"))});
    EXPECT_EQ(firstRelayWrite(open, 0), "R0402\\r");
    EXPECT_EQ(firstRelayWrite(closed, 0), "R0000\\r");
    EXPECT_GE(service.waitForLine(
                  QStringLiteral("open: info: start state 0402, as the timer records say now")),
              0)
        << service.log();
    EXPECT_GE(service.waitForLine(
                  QStringLiteral("closed: info: start state 0000, as the timer records say now")),
              0)
        << service.log();
}

TEST_F(ServiceEndToEnd, TheJournalNamesTheRelaysAndTellsWhatGuardsThemAndABrokenFileOnReload)
{
    SimulatedBoard& blinds = board(4);
    board(5);
    project(QStringLiteral("plain.iom"), openRecord("16"), {});
    const QString settings = work.filePath(QStringLiteral("blinds.conf"));
    const QByteArray names = "relay-01-name = Blind up\nrelay-02-name = Blind down\n"
                             "interlock = 01,02\n";
    replace(settings, names + "interlock-dead-time = 0.5s\n");
    const QString conf = config(QStringLiteral("[blinds]\nport = 4\nproject = plain.iom\n"
                                               "board-settings = blinds.conf\n"
                                               "relay-05-name = Pump\nrelay-05-max-on = 20min\n"
                                               "start-state = 0003\n"
                                               "[plain]\nport = 5\nproject = plain.iom\n"));
    service.start({"--config", conf});
    EXPECT_EQ(firstRelayWrite(blinds, 0), "R8001\\r");
    for (const QString& line : {
             QStringLiteral("blinds: info: interlock 01,02 dead time 500ms; relay 05 (Pump) max "
                            "on-time 20min"),
             QStringLiteral("blinds: info: start state 0003 - on: 01 (Blind up), 02 (Blind down)"),
             QStringLiteral("blinds: info: relay 02 (Blind down) held off: interlock with 01 "
                            "(Blind up)"),
         })
        EXPECT_GE(service.waitForLine(line), 0) << line.toStdString() << service.log();
    ASSERT_TRUE(received(blinds, "I0\\r"));
    // A board without settings says nothing of them.
    for (const ServiceProcess::Line& line : service.lines()) {
        if (line.text.startsWith(QStringLiteral("plain:"))) {
            EXPECT_FALSE(line.text.contains(QStringLiteral("interlock")) ||
                         line.text.contains(QStringLiteral("max on-time")))
                << line.text.toStdString();
        }
    }

    // Brought back after a fault, with the names of what comes back on.
    qsizetype mark = service.lines().size();
    blinds.command("garbage");
    EXPECT_GE(service.waitForLine(QStringLiteral("blinds: info: relays 8001 again, as last "
                                                 "confirmed - on: 01 (Blind up), 16"),
                                  mark),
              0)
        << service.log();

    // A broken file on reload: the board runs on as it was.
    replace(settings, names + "interlock-dead-time = a while\n");
    mark = service.lines().size();
    service.signal(SIGHUP);
    EXPECT_GE(service.waitForLine(QStringLiteral("blinds: error: %1:4: interlock-dead-time 'a "
                                                 "while' is not a duration such as 200ms or "
                                                 "0.5s; the running settings and project stay")
                                      .arg(settings),
                                  mark),
              0)
        << service.log();
    ASSERT_TRUE(received(blinds, "R8001\\r"));
    replace(settings, names + "interlock-dead-time = 1s\n");
    mark = service.lines().size();
    service.signal(SIGHUP);
    EXPECT_GE(service.waitForLine(QStringLiteral("blinds: info: interlock 01,02 dead time 1s; "
                                                 "relay 05 (Pump) max on-time 20min"),
                                  mark),
              0)
        << service.log();

    // At start the same file is a fault of the configuration.
    replace(settings, names + "relay-01-max-on = 1ms\n");
    ServiceProcess refused(config_.path(), state.path());
    refused.start({"--config", conf});
    ASSERT_TRUE(refused.waitForExit());
    EXPECT_EQ(refused.exitCode(), 2);
    EXPECT_GE(refused.waitForLine(QStringLiteral("qmxv217d: %1:4: relay-01-max-on '1ms' is not "
                                                 "between 200ms and 168h")
                                      .arg(settings)),
              0)
        << refused.log();
}

} // namespace

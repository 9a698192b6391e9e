// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d against the board simulator when the machine or the board
// misbehaves: the service held up right after it writes, a board that sends
// without pause, and stray bytes waiting on the port as it opens.
#include "common/textlines.h"
#include "serviceprocess.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const QString kInvalid = QStringLiteral("Invalid data received");
const QString kNotResponding = QStringLiteral("The board is not responding.");

class ServiceFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim.keepEvents();
        ASSERT_TRUE(sim.start(1));
        WriteTextLines(projectPath, {"0", "0", "0", "[t]", "[r]", "1H=01H"});
    }
    void startService() { service.start({"--port", "4", "--project", projectPath}); }
    // Waits for the board to receive a command; true when it came.
    bool received(const QByteArray& command, milliseconds bound = seconds(10))
    {
        return sim.waitFor("rx", command, static_cast<int>(bound.count()));
    }

    QTemporaryDir work;
    QTemporaryDir config;
    QTemporaryDir state;
    QString projectPath = work.filePath(QStringLiteral("follow.iom"));
    SimulatedBoard sim{config.path(), 4, QStringLiteral(V217_BOARDSIM)};
    ServiceProcess service{config.path(), state.path()};
};

// A loaded machine: the service is stopped for 150 ms right after it has
// written, and the board answers in 20 ms. When it runs again, the answer
// waits unread and the tick is overdue, with a catch-up tick right behind.
// The board answered in time: no fault, and the cycle goes on.
TEST_F(ServiceFaults, HeldUpRightAfterItWritesTheServiceTakesTheAnswerItGot)
{
    ASSERT_TRUE(sim.commandAndWait("delay 20"));
    startService();
    ASSERT_TRUE(received("I0\\r")) << service.log();

    constexpr int kHolds = 10;
    int holds = 0;
    int commandsSinceHold = 0;
    bool held = false;
    sim.setOnEvent([&](const SimulatedBoard::Event& event) {
        if (event.kind != "rx" || held)
            return;
        if (++commandsSinceHold < 3 || holds == kHolds)
            return;
        held = true;
        service.signal(SIGSTOP);
        QTimer::singleShot(milliseconds(150), [&] {
            service.signal(SIGCONT);
            held = false;
            commandsSinceHold = 0;
            ++holds;
        });
    });
    ASSERT_TRUE(waitUntil([&] { return holds == kHolds && commandsSinceHold >= 4; }, seconds(30)))
        << sim.log() << service.log();
    sim.setOnEvent(nullptr);
    EXPECT_EQ(service.count(kInvalid), 0) << sim.log() << service.log();
    EXPECT_EQ(service.count(kNotResponding), 0) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("System opened")), 1) << service.log();
}

// A board that sends without pause: the too-long reply is invalid data at
// once, and the service recovers as from garbage once the flood stops.
// Bytes of the flood still in the terminal may spoil one more activation
// after "flood off", so the test looks only at what comes after the board
// has been answered again.
TEST_F(ServiceFaults, AFloodingBoardIsInvalidDataAndTheServiceRecoversWhenItStops)
{
    startService();
    ASSERT_TRUE(received("I0\\r")) << service.log();
    ASSERT_TRUE(sim.commandAndWait("flood on"));
    ASSERT_GE(service.waitForLine(kInvalid), 0) << service.log();

    ASSERT_TRUE(sim.commandAndWait("flood off", "info", "flood off"));
    ASSERT_TRUE(received("R0001\\r", seconds(15))) << sim.log() << service.log();
    const qsizetype running = service.lines().size();
    ASSERT_TRUE(received("I0\\r")) << sim.log();
    ASSERT_TRUE(received("R0001\\r")) << sim.log();
    EXPECT_EQ(service.count(kInvalid, running), 0) << service.log();
}

// SIGTERM comes while the board floods: the wait for the all-off echo reads
// a bounded piece per notification, so the stop still ends within 2 s. The
// service is held while the flood starts and the signal comes, so the stop
// begins with the flood already waiting on the port.
TEST_F(ServiceFaults, SigtermEndsTheServiceWithinTwoSecondsWhileTheBoardFloods)
{
    startService();
    ASSERT_TRUE(received("R0001\\r")) << service.log();
    service.signal(SIGSTOP);
    ASSERT_TRUE(sim.commandAndWait("flood on"));
    service.signal(SIGTERM);
    QElapsedTimer stopping;
    stopping.start();
    service.signal(SIGCONT);
    ASSERT_TRUE(service.waitForExit(seconds(2))) << service.log();
    std::printf("stopped %lld ms after SIGTERM, while flooding\n",
                static_cast<long long>(stopping.elapsed()));
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_GE(service.waitForLine(QStringLiteral("stopping: all relays off")), 0) << service.log();
}

// One stray byte waits on the port when the service opens it (noise on the
// line before anyone listened): it is let in while idle and does not spoil
// the first echo.
TEST_F(ServiceFaults, AStrayByteWaitingAtTheOpenIsNoInvalidData)
{
    // Take the board's start-up prompt off the terminal, so only the stray
    // byte waits there. Closing this descriptor flushes nothing.
    const int fd = ::open(QFile::encodeName(sim.terminal()).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    QByteArray prompt;
    const bool drained = waitUntil([&] {
        char buffer[16];
        for (ssize_t got = 0; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            prompt.append(buffer, got);
        return prompt.endsWith('#');
    });
    ::close(fd);
    ASSERT_TRUE(drained) << sim.log();
    ASSERT_TRUE(sim.commandAndWait("send \\xFF", "tx"));

    startService();
    ASSERT_TRUE(received("I0\\r")) << service.log();
    ASSERT_TRUE(received("R0001\\r")) << service.log();
    EXPECT_EQ(service.count(kInvalid), 0) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("System opened")), 1) << service.log();
}

} // namespace

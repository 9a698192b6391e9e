// SPDX-License-Identifier: GPL-3.0-or-later
// The real controller on the real serial component against the board
// simulator over a pseudo-terminal.
#include "board/boardline.h"
#include "board/ticktimer.h"
#include "common/folders.h"
#include "common/regional.h"
#include "controller/relay.h"
#include "safety/boardsettings.h"
#include "serial/Serial2.h"
#include "support/fakeview.h"
#include "support/manualclock.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

using std::chrono::milliseconds;

const QString kNotResponding =
    QStringLiteral("The board is not responding.\rPlease check port, connections and power.\r");
const QString kInvalid = QStringLiteral("Error: Invalid data received");
const QString kPortProblem = QStringLiteral("There appears to be a problem accessing the COM Port");
constexpr int kPort = 4;

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The first tick reads the last-run file of the working folder.
        ASSERT_TRUE(QDir::setCurrent(work.path()));
        // The port folder of this process is the simulator's.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        sim.keepEvents();
        ASSERT_TRUE(sim.start(9));
        board::UseBoardLineSettings(serial);
        core.Timer1Timer();
        core.OpenSerialPort(QString::number(kPort));
        ASSERT_EQ(view.status[0], QStringLiteral("COM 4"));
        // The board greets the newly opened port with its prompt.
        ASSERT_TRUE(waitUntil([&] { return view.status[1] == QStringLiteral("Board online..."); }));
        view.boxes.clear();
    }
    void TearDown() override { QDir::setCurrent(QDir::tempPath()); }

    void tick()
    {
        core.run([this] { core.Timer1Timer(); });
    }
    // One tick, then wait until the board's answer has moved the state on.
    bool step()
    {
        const board::CommState before = core.poll().CommState();
        tick();
        return waitUntil(
            [&] { return core.poll().CommState() != before || !view.boxes.isEmpty(); });
    }
    bool cycle()
    {
        return step() && core.poll().CommState() == board::CommState::InputRead && step() &&
               core.poll().CommState() == board::CommState::RelayWrite;
    }
    // Ticks every 100 ms, as the main window does, until the condition holds.
    template <typename Condition> bool tickUntil(Condition condition, milliseconds bound)
    {
        QTimer timer;
        board::SetUpTickTimer(timer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { tick(); });
        timer.start();
        return waitUntil(condition, bound);
    }

    QTemporaryDir work;
    QTemporaryDir config;
    SimulatedBoard sim{config.path(), kPort, QStringLiteral(V217_BOARDSIM)};
    FakeView view;
    TSerial serial;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    Controller core{view, serial, clock, regional};
};

TEST_F(EndToEnd, ActivatesRelaysEchoInputsFollowAndDeactivatesWithOneAllOff)
{
    core.requestRelays(0x8001, 0xFFFF, Controller::Source::Manual);
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    EXPECT_EQ(view.relayWord, 0x8001);
    EXPECT_EQ(core.poll().PortIn(), 9);
    EXPECT_EQ(view.inputWord, 9);

    ASSERT_TRUE(sim.commandAndWait("inputs 0x38"));
    ASSERT_TRUE(cycle());
    EXPECT_EQ(core.poll().PortIn(), 0x38);
    EXPECT_EQ(view.inputWord, 0x38);
    ASSERT_TRUE(sim.commandAndWait("input 1 on"));
    ASSERT_TRUE(cycle());
    EXPECT_EQ(core.poll().PortIn(), 0x39);

    const qsizetype mark = sim.events().size();
    core.ActiveButtClick();
    ASSERT_TRUE(step()); // relay write
    ASSERT_TRUE(step()); // input read, then the all-off command
    ASSERT_TRUE(waitUntil([&] { return view.status[1] == QStringLiteral("System closed"); }));
    EXPECT_FALSE(core.poll().SystemActive());
    EXPECT_EQ(core.poll().CommState(), board::CommState::Idle);
    // Later ticks send nothing.
    tick();
    tick();
    ASSERT_TRUE(sim.commandAndWait("prompt")) << sim.log();
    const QList<QByteArray> commands = sim.commands(mark);
    EXPECT_EQ(commands, (QList<QByteArray>{"R8001\\r", "I0\\r", "R0000\\r"}));
    EXPECT_TRUE(view.boxes.isEmpty());
}

TEST_F(EndToEnd, RepliesInPiecesAreCollected)
{
    ASSERT_TRUE(sim.commandAndWait("split 4 3"));
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    ASSERT_TRUE(cycle());
    EXPECT_EQ(core.poll().PortIn(), 9);
    EXPECT_TRUE(view.boxes.isEmpty());
}

TEST_F(EndToEnd, ASilentBoardEndsInTheWatchdogMessage)
{
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    ASSERT_TRUE(sim.commandAndWait("silent on"));
    ASSERT_TRUE(tickUntil([&] { return !view.boxes.isEmpty(); }, milliseconds(5000)));
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_EQ(view.boxes.at(0).text, kNotResponding);
    EXPECT_EQ(view.status[1], QStringLiteral("Ready"));
    EXPECT_FALSE(core.poll().SystemActive());
}

TEST_F(EndToEnd, GarbageIsInvalidData)
{
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    ASSERT_TRUE(sim.commandAndWait("garbage"));
    ASSERT_TRUE(step());
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_EQ(view.boxes.at(0).text, kInvalid);
    EXPECT_EQ(view.status[1], QStringLiteral("Comms error..."));
    EXPECT_FALSE(core.poll().SystemActive());
}

TEST_F(EndToEnd, ALowerCaseInputDigitIsInvalidData)
{
    core.ActiveButtClick();
    ASSERT_TRUE(step());
    ASSERT_TRUE(sim.commandAndWait("lowercase"));
    ASSERT_TRUE(step());
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_EQ(view.boxes.at(0).text, kInvalid);
}

TEST_F(EndToEnd, ALateBoardSendsTwoEchoesAndIsInvalidData)
{
    ASSERT_TRUE(sim.commandAndWait("delay 150"));
    core.ActiveButtClick();
    ASSERT_TRUE(tickUntil([&] { return !view.boxes.isEmpty(); }, milliseconds(3000)));
    EXPECT_EQ(view.boxes.at(0).text, kInvalid);
}

// Noise on the line while idle (a byte the board sent as the port opened)
// stays collected as the start of a prompt; activation drops it, and the
// first echo is judged alone.
TEST_F(EndToEnd, AStrayByteBeforeActivationDoesNotSpoilTheFirstEcho)
{
    ASSERT_TRUE(sim.commandAndWait("send \\xFF", "tx"));
    ASSERT_TRUE(waitUntil([&] { return !core.poll().RxText().isEmpty(); }));
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    EXPECT_TRUE(view.boxes.isEmpty());
}

// A board that sends without pause: each receive notification reads one
// input queue at most and returns, so the event loop goes on, and the reply,
// too long, is invalid data at once.
TEST_F(EndToEnd, AFloodingBoardIsInvalidDataAndTheEventLoopGoesOn)
{
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    ASSERT_TRUE(sim.commandAndWait("flood on"));
    ASSERT_TRUE(tickUntil([&] { return !view.boxes.isEmpty(); }, milliseconds(3000)));
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_EQ(view.boxes.at(0).text, kInvalid);
    EXPECT_FALSE(core.poll().SystemActive());
    bool fired = false;
    QTimer::singleShot(milliseconds(50), &serial, [&] { fired = true; });
    EXPECT_TRUE(waitUntil([&] { return fired; }, milliseconds(2000)));
    EXPECT_LE(core.poll().RxText().size(), 3);
    ASSERT_TRUE(sim.commandAndWait("flood off", "info", "flood off"));
}

TEST_F(EndToEnd, AHangUpWhileActiveEndsInTheWatchdogAndTheProgramGoesOn)
{
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    ASSERT_TRUE(sim.commandAndWait("hangup"));
    ASSERT_TRUE(waitUntil([&] { return serial.ErrorCode() == EIO; }));
    const quint64 wakeups = serial.eventWakeups();
    ASSERT_TRUE(tickUntil([&] { return !view.boxes.isEmpty(); }, milliseconds(5000)));
    EXPECT_EQ(view.boxes.at(0).text, kNotResponding);
    EXPECT_FALSE(core.poll().SystemActive());
    // 1.5 s of a dead device: a spinning event thread would have woken
    // thousands of times.
    EXPECT_LT(serial.eventWakeups() - wakeups, 20u);

    // The board comes back on the same number; choosing the port again
    // carries on.
    view.boxes.clear();
    ASSERT_TRUE(sim.commandAndWait("relink", "ready", "COM")) << sim.log();
    view.status[1].clear();
    core.OpenSerialPort(QString::number(kPort));
    EXPECT_EQ(view.status[0], QStringLiteral("COM 4"));
    ASSERT_TRUE(waitUntil([&] { return view.status[1] == QStringLiteral("Board online..."); }));
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    EXPECT_EQ(core.poll().PortIn(), 9);
    EXPECT_TRUE(view.boxes.isEmpty());
}

// Unplugged and plugged back in: Activate opens the same port again, and
// while the device is gone panel 0 says so.
TEST_F(EndToEnd, ABoardPluggedBackInRunsAgainOnActivate)
{
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    ASSERT_TRUE(sim.commandAndWait("hangup"));
    ASSERT_TRUE(waitUntil([&] { return view.status[0] == QStringLiteral("COM x"); }));
    ASSERT_TRUE(tickUntil([&] { return !view.boxes.isEmpty(); }, milliseconds(5000)));
    EXPECT_EQ(view.boxes.at(0).text, kNotResponding);

    // Still unplugged: the port does not open, and the system stays idle.
    view.boxes.clear();
    core.ActiveButtClick();
    EXPECT_EQ(view.boxTexts(), QStringList{kPortProblem});
    EXPECT_EQ(view.status[0], QStringLiteral("COM x"));
    EXPECT_FALSE(core.poll().SystemActive());

    view.boxes.clear();
    const qsizetype relinked = sim.events().size();
    ASSERT_TRUE(sim.commandAndWait("relink", "ready", "COM")) << sim.log();
    // The board greets its new terminal before anyone opens it; a prompt
    // that came after the activation's relay command would be taken as a
    // broken echo. (A user sees the board come back before clicking.)
    ASSERT_TRUE(waitUntil([&] {
        const QList<SimulatedBoard::Event>& events = sim.events();
        return std::any_of(
            events.begin() + relinked, events.end(),
            [](const SimulatedBoard::Event& e) { return e.kind == "tx" && e.text == "\\r\\n#"; });
    })) << sim.log();
    const qsizetype from = sim.events().size();
    core.ActiveButtClick();
    EXPECT_EQ(view.status[0], QStringLiteral("COM 4"));
    EXPECT_TRUE(core.poll().SystemActive());
    ASSERT_TRUE(cycle()) << sim.log();
    ASSERT_TRUE(cycle()) << sim.log();
    EXPECT_EQ(core.poll().PortIn(), 9);
    EXPECT_TRUE(view.boxes.isEmpty());
    EXPECT_EQ(sim.commands(from).mid(0, 2), (QList<QByteArray>{"R0000\\r", "I0\\r"}));
}

TEST_F(EndToEnd, APortWithNoDeviceGivesThePortProblemMessage)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent/ttyUSB9"),
                            PortFolder() + QStringLiteral("/com7")));
    for (const QString& text : {QStringLiteral("7"), QStringLiteral("0"), QStringLiteral("*")}) {
        view.boxes.clear();
        core.OpenSerialPort(QString::number(kPort));
        ASSERT_TRUE(serial.Active());
        core.OpenSerialPort(text);
        ASSERT_EQ(view.boxes.size(), 1) << text.toStdString();
        EXPECT_EQ(view.boxes.at(0).text, kPortProblem);
        EXPECT_EQ(view.status[0], QStringLiteral("COM x"));
        // The port that was open is closed as well.
        EXPECT_FALSE(serial.Active());
    }
}

TEST_F(EndToEnd, ConfirmingTheOpenPortAgainReopensIt)
{
    view.onPortDialog = [](QString& text) {
        EXPECT_EQ(text, QStringLiteral("4"));
        return true;
    };
    core.Set1Click();
    EXPECT_EQ(view.portDialogShownWith, QStringLiteral("4"));
    EXPECT_TRUE(serial.Active());
    EXPECT_EQ(view.status[0], QStringLiteral("COM 4"));
    EXPECT_EQ(view.status[1], QStringLiteral("Communications idle"));
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
}

} // namespace

namespace {

// When the board received each relay command from kept event `from` on.
QList<std::pair<double, QByteArray>> relayCommandTimes(const SimulatedBoard& sim, qsizetype from)
{
    QList<std::pair<double, QByteArray>> times;
    const QList<SimulatedBoard::Event>& events = sim.events();
    for (qsizetype i = from; i < events.size(); ++i)
        if (events.at(i).kind == "rx" && events.at(i).text.startsWith('R'))
            times.append({events.at(i).time, events.at(i).text});
    return times;
}

// When the board was first sent a relay word of which test holds.
template <typename Test>
double firstTime(const QList<std::pair<double, QByteArray>>& times, double after, Test test)
{
    for (const auto& [time, text] : times)
        if (time >= after && test(text.mid(1, 4).toInt(nullptr, 16)))
            return time;
    return -1;
}

} // namespace

TEST_F(EndToEnd, TheBoardSeesTheDeadTimeAndTheMaximumOnTimeOnItsWire)
{
    safety::BoardSettings settings;
    ASSERT_TRUE(
        safety::SetBoardSetting(settings, QStringLiteral("interlock"), QStringLiteral("01,02"))
            .isEmpty());
    ASSERT_TRUE(safety::SetBoardSetting(settings, QStringLiteral("interlock-dead-time"),
                                        QStringLiteral("0.5s"))
                    .isEmpty());
    ASSERT_TRUE(
        safety::SetBoardSetting(settings, QStringLiteral("relay-05-max-on"), QStringLiteral("1s"))
            .isEmpty());
    core.setBoardSettings(settings);
    core.ActiveButtClick();
    ASSERT_TRUE(cycle());
    const qsizetype mark = sim.events().size();
    core.requestRelays(0x0011, 0x0013, Controller::Source::Mqtt);
    ASSERT_TRUE(tickUntil([&] { return view.relayWord == 0x0011; }, milliseconds(5000)));
    // The motor reverses: 01 off at once, 02 on half a second later.
    core.requestRelays(0x0002, 0x0003, Controller::Source::Mqtt);
    ASSERT_TRUE(tickUntil([&] { return view.relayWord == 0x0002; }, milliseconds(5000)))
        << sim.log();

    const auto times = relayCommandTimes(sim, mark);
    const double on05 = firstTime(times, 0, [](int word) { return word & 0x10; });
    const double off01 = firstTime(times, 0, [](int word) { return !(word & 0x01); });
    const double on02 = firstTime(times, 0, [](int word) { return word & 0x02; });
    const double off05 = firstTime(times, on05, [](int word) { return !(word & 0x10); });
    ASSERT_TRUE(on05 >= 0 && off01 >= 0 && on02 >= 0 && off05 >= 0) << sim.log();
    std::printf("dead time on the wire %.0f ms (0.5 s asked); relay 05 on for %.0f ms (1 s "
                "maximum)\n",
                (on02 - off01) * 1000, (off05 - on05) * 1000);
    EXPECT_GE(on02 - off01, 0.5);
    EXPECT_GE(off05 - on05, 1.0);
    // No command ever had both relays of the group on.
    for (const auto& [time, text] : times)
        EXPECT_FALSE(text.startsWith("R") && (text.mid(1, 4).toInt(nullptr, 16) & 3) == 3)
            << text.data();
}

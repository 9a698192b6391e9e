// SPDX-License-Identifier: GPL-3.0-or-later
// board.conf at start-up: none, good, broken, not a regular file, a link or
// another user's file; and the names it gives in the main window's
// tooltips and the Trace rows of the desktop as the program builds it.
#include "common/folders.h"
#include "desktop/boardconf.h"
#include "desktop/desktop.h"
#include "network/mqttclient.h"
#include "support/fakelink.h"
#include "support/fakeview.h"
#include "support/manualclock.h"
#include "support/rig.h"
#include "support/stranger.h"
#include "tools/broker.h"
#include "tools/waituntil.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

const QByteArray kGood = "relay-02-name = Pump\n"
                         "relay-03-max-on = 20min\n"
                         "input-3-name = Float switch\n"
                         "input-3-debounce = 3\n"
                         "interlock = 01,02\n"
                         "start-state = last\n";

// A DesktopBoard over a rig's controller, its file in a folder of its own;
// what it applies is recorded.
struct Started
{
    Rig rig;
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("board.conf"));
    QList<safety::BoardSettings> applied;
    std::optional<DesktopBoard> board;

    void load()
    {
        board.emplace(
            path, [this](const safety::BoardSettings& s) { applied.append(s); }, rig.view,
            [this] { return !rig.core.FirstTick; });
        board->load();
    }
    // Lets the board's checks run for a few periods.
    void letRun()
    {
        bool later = false;
        QTimer::singleShot(3 * DesktopBoard::kCheckPeriod, [&] { later = true; });
        ASSERT_TRUE(waitUntil([&] { return later; }));
    }
};

TEST(BoardConf, WithoutAFileNothingIsAppliedToldOrWritten)
{
    Started s;
    s.load();
    s.rig.startUp();
    s.letRun();
    EXPECT_TRUE(s.applied.isEmpty());
    EXPECT_TRUE(s.rig.view.boxes.isEmpty());
    EXPECT_TRUE(s.board->settings() == safety::BoardSettings{});
    EXPECT_TRUE(s.board->fileProblem().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(s.path));
}

TEST(BoardConf, AGoodFileIsAppliedBeforeTheFirstTick)
{
    Started s;
    ASSERT_TRUE(writeAll(s.path, kGood));
    s.load();
    ASSERT_EQ(s.applied.size(), 1);
    const safety::BoardSettings& applied = s.applied.constFirst();
    EXPECT_EQ(applied.relayNames.at(1), QStringLiteral("Pump"));
    EXPECT_EQ(applied.maxOn.at(2), 20min);
    EXPECT_EQ(applied.inputNames.at(2), QStringLiteral("Float switch"));
    EXPECT_EQ(applied.debounce.at(2), 3);
    EXPECT_EQ(applied.interlocks, QList<quint16>{0x0003});
    ASSERT_TRUE(applied.startState.has_value());
    EXPECT_EQ(applied.startState->mode, safety::StartState::Mode::Last);
    EXPECT_TRUE(s.board->settings() == applied);
    s.rig.startUp();
    s.letRun();
    EXPECT_TRUE(s.rig.view.boxes.isEmpty());
    EXPECT_EQ(readAll(s.path), kGood);
}

// Each broken file applies nothing, is told once in an error box after the
// controller's start-up with the file's line and problem, and stays as it
// was.
TEST(BoardConf, ABrokenFileIsToldAfterStartUpAppliesNothingAndIsKept)
{
    const auto other = [](const QString& path) {
        return writeAll(path, kGood) && stranger::giveAway(path);
    };
    const auto plantedLink = [](const QString& path) {
        const QString target = path + QStringLiteral(".target");
        return writeAll(target, kGood) && QFile::link(target, path) && stranger::giveAway(path);
    };
    const struct
    {
        const char* what;
        std::function<bool(const QString&)> make;
        // After the path.
        const char* problem;
        bool needsRoot;
    } cases[] = {
        {"a bad line",
         [](const QString& path) {
             return writeAll(path, "relay-02-name = Pump\nrelay-03-max-on = 5 years\n");
         },
         ":2: relay-03-max-on '5 years' is not a duration such as 500ms, 30s, 20min or 2h", false},
        {"an unknown key", [](const QString& path) { return writeAll(path, "\nspeed = fast\n"); },
         ":2: unknown key 'speed'", false},
        {"a named pipe, which a read would wait on for ever",
         [](const QString& path) {
             return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
         },
         ": is not a regular file", false},
        {"a link of the user's own",
         [](const QString& path) {
             return writeAll(path + QStringLiteral(".target"), kGood) &&
                    QFile::link(path + QStringLiteral(".target"), path);
         },
         ": is a symbolic link or a file of another user; only a file of your own is used", false},
        {"a link another user planted", plantedLink,
         ": is a symbolic link or a file of another user; only a file of your own is used", true},
        {"another user's file", other,
         ": is a symbolic link or a file of another user; only a file of your own is used", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !stranger::canGiveAway())
            continue;
        Started s;
        ASSERT_TRUE(c.make(s.path));
        const QFileInfo before(s.path);
        const QByteArray bytes = before.isFile() ? readAll(s.path) : QByteArray();
        const uid_t owner = stranger::ownerOf(s.path);
        s.load();
        EXPECT_TRUE(s.applied.isEmpty());
        EXPECT_TRUE(s.board->settings() == safety::BoardSettings{});
        // Not before the start-up, whose own boxes come first.
        s.letRun();
        EXPECT_TRUE(s.rig.view.boxes.isEmpty());
        s.rig.startUp();
        ASSERT_TRUE(waitUntil([&] { return !s.rig.view.boxes.isEmpty(); }));
        s.letRun();
        ASSERT_EQ(s.rig.view.boxes.size(), 1);
        EXPECT_EQ(s.rig.view.boxes.at(0).kind, QStringLiteral("Error"));
        const QString text = s.rig.view.boxes.at(0).text;
        EXPECT_TRUE(text.startsWith(QStringLiteral("The board settings cannot be used, so none "
                                                   "are applied:\r")))
            << text.toStdString();
        EXPECT_TRUE(text.contains(s.path + QString::fromUtf8(c.problem))) << text.toStdString();
        EXPECT_EQ(s.board->fileProblem(), text.section(QLatin1Char('\r'), 1, 1));
        EXPECT_TRUE(s.applied.isEmpty());
        const QFileInfo after(s.path);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isFile(), before.isFile());
        EXPECT_EQ(stranger::ownerOf(s.path), owner);
        if (before.isFile()) {
            EXPECT_EQ(readAll(s.path), bytes);
        }
    }
}

// The desktop as the program builds it, in a fresh current folder, over
// the scripted board and a manual clock; its own tick stopped.
class DesktopBoardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QDir::setCurrent(folder.path());
        QFile::remove(BoardSettingsFile());
    }
    void TearDown() override
    {
        desktop.reset();
        QFile::remove(BoardSettingsFile());
        QDir::setCurrent(previous);
    }
    void build()
    {
        desktop.emplace(link, clock, regional);
        desktop->mainWindow.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    }
    void tick()
    {
        desktop->core.run([this] { desktop->core.Timer1Timer(); });
    }
    // One poll cycle against the auto-replying board.
    void cycle()
    {
        link.autoReply = true;
        for (int i = 0; i < 2; ++i) {
            tick();
            link.deliver();
        }
    }
    [[nodiscard]] QString tip(const QString& name) const
    {
        const auto* control = desktop->mainWindow.findChild<QWidget*>(name);
        return control ? control->toolTip() : QStringLiteral("no control %1").arg(name);
    }

    QString previous = QDir::currentPath();
    QTemporaryDir folder;
    FakeLink link;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    std::optional<Desktop> desktop;
};

TEST_F(DesktopBoardTest, TheBoardItemFollowsDevicesAndNoFileChangesNoTooltipOrRow)
{
    build();
    const auto* port = desktop->mainWindow.menuBar()->findChild<QMenu*>(QStringLiteral("Port1"));
    ASSERT_NE(port, nullptr);
    QStringList items;
    for (const QAction* action : port->actions())
        items.append(action->objectName());
    EXPECT_EQ(items, QStringList({"Set1", "Devices1", "Board1", "Mqtt1"}));
    EXPECT_EQ(port->actions().at(2)->text(), QStringLiteral("&Board\u2026"));
    port->actions().at(2)->trigger();
    EXPECT_TRUE(desktop->boardWindow.isVisible());
    EXPECT_FALSE(desktop->boardWindow.isModal());
    desktop->boardWindow.hide();

    EXPECT_EQ(tip(QStringLiteral("Out2image")), QStringLiteral("Read digital IO 0"));
    EXPECT_EQ(tip(QStringLiteral("In3Image")), QStringLiteral("Read digital IO 0"));
    EXPECT_EQ(tip(QStringLiteral("SpeedButton3")), QStringLiteral("SET relay 02"));
    const TraceStrip& strip = desktop->traceWindow.strip();
    for (int row = 0; row < TraceStrip::kSignals; ++row)
        EXPECT_EQ(strip.rowLabel(row), TraceStrip::signalName(row));
    EXPECT_TRUE(desktop->core.boardSettings() == safety::BoardSettings{});
    EXPECT_FALSE(QFileInfo::exists(BoardSettingsFile()));
}

TEST_F(DesktopBoardTest, NamesOfTheFileAreInTheTooltipsAndTheTraceRows)
{
    ASSERT_TRUE(writeAll(BoardSettingsFile(), kGood));
    build();
    EXPECT_TRUE(desktop->core.boardSettings() == desktop->board.settings());
    EXPECT_EQ(desktop->core.boardSettings().relayNames.at(1), QStringLiteral("Pump"));
    EXPECT_EQ(desktop->core.boardSettings().interlocks, QList<quint16>{0x0003});
    EXPECT_EQ(tip(QStringLiteral("Out2image")), QStringLiteral("Relay 02 (Pump)"));
    EXPECT_EQ(tip(QStringLiteral("SpeedButton3")), QStringLiteral("SET relay 02 (Pump)"));
    EXPECT_EQ(tip(QStringLiteral("In3Image")), QStringLiteral("Input 3 (Float switch)"));
    // The unnamed keep theirs.
    EXPECT_EQ(tip(QStringLiteral("Out1image")), QStringLiteral("Read digital IO 0"));
    EXPECT_EQ(tip(QStringLiteral("SpeedButton1")), QStringLiteral("SET relay 01"));
    EXPECT_EQ(tip(QStringLiteral("In1image")), QStringLiteral("Read digital IO 0"));
    // Switching the SET button keeps its name.
    desktop->core.run([this] {
        desktop->core.Timer1Timer();
        desktop->core.ActiveButtClick();
        desktop->core.SpeedButton1Click(1);
    });
    EXPECT_TRUE(desktop->core.SetButtonState.at(1));
    EXPECT_EQ(tip(QStringLiteral("SpeedButton3")), QStringLiteral("SET relay 02 (Pump)"));

    // The rules editor questions a text that switches the group on together.
    RulesForm& rules = desktop->core.rulesForm();
    rules.FormActivate();
    rules.RulesMemo = {QStringLiteral("1H=01H02H"), QString()};
    FakeView asked;
    asked.answers = {View::Answer::No};
    EXPECT_TRUE(rules.FormCloseQuery(asked));
    ASSERT_EQ(asked.boxes.size(), 1);
    EXPECT_TRUE(asked.boxes.at(0).text.contains(QStringLiteral("interlock group 01,02")))
        << asked.boxes.at(0).text.toStdString();

    const TraceStrip& strip = desktop->traceWindow.strip();
    EXPECT_EQ(strip.rowLabel(2), QStringLiteral("I3 (Float switch)"));
    EXPECT_EQ(strip.rowLabel(7), QStringLiteral("02 (Pump)"));
    EXPECT_EQ(strip.rowLabel(0), QStringLiteral("I1"));
    EXPECT_EQ(strip.rowLabel(6), QStringLiteral("01"));
}

// OK in the Board window saves the file and applies it while the system
// runs: the next relay write keeps the new group.
TEST_F(DesktopBoardTest, OKAppliesTheSettingsAtOnceWhileTheSystemRuns)
{
    build();
    tick();
    desktop->core.ActiveButtClick();
    cycle();
    ASSERT_TRUE(desktop->core.poll().SystemActive());
    desktop->boardWindow.show();
    for (const char* name : {"RelayGroup01", "RelayGroup02"})
        desktop->boardWindow.findChild<QComboBox*>(QString::fromLatin1(name))->setCurrentIndex(1);
    desktop->boardWindow.findChild<QLineEdit*>(QStringLiteral("RelayName01"))
        ->setText(QStringLiteral("Fill"));
    desktop->boardWindow.findChild<QPushButton*>(QStringLiteral("OKButt"))->click();
    EXPECT_FALSE(desktop->boardWindow.isVisible());
    EXPECT_EQ(desktop->core.boardSettings().interlocks, QList<quint16>{0x0003});
    EXPECT_EQ(tip(QStringLiteral("Out1image")), QStringLiteral("Relay 01 (Fill)"));
    EXPECT_EQ(desktop->traceWindow.strip().rowLabel(6), QStringLiteral("01 (Fill)"));
    EXPECT_EQ(readAll(BoardSettingsFile()),
              "# V217 board settings\nrelay-01-name = Fill\ninterlock = 01,02\n");

    desktop->core.requestRelays(0x0003, 0x0003, Controller::Source::Manual);
    cycle();
    EXPECT_EQ(desktop->core.poll().PortOut() & 0x0003, 0x0001);
}

// The names of board.conf, and those saved in the window, reach Home
// Assistant's discovery through the desktop's MQTT connection.
TEST_F(DesktopBoardTest, TheNamesGoToDiscoveryOnMqtt)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    network::MqttClient::Settings watch;
    watch.host = QStringLiteral("127.0.0.1");
    watch.port = broker.port();
    watch.clientId = QStringLiteral("watcher");
    network::MqttClient watcher(watch);
    QHash<QString, QByteArray> last;
    watcher.setOnMessage(
        [&](const QString& topic, const QByteArray& payload) { last[topic] = payload; });
    watcher.subscribe(QStringLiteral("homeassistant/#"));
    watcher.start();
    ASSERT_TRUE(waitUntil([&] { return watcher.connected(); }));
    ASSERT_TRUE(writeAll(network::MqttSettingsFile(),
                         QStringLiteral("enabled = on\nname = bench\nmqtt = mqtt://127.0.0.1:%1\n")
                             .arg(broker.port())
                             .toUtf8()));
    ASSERT_TRUE(writeAll(BoardSettingsFile(), kGood));
    build();
    const QString relay02 = QStringLiteral("homeassistant/switch/qmxv217_bench/relay02/config");
    ASSERT_TRUE(waitUntil([&] { return last.value(relay02).contains(R"("name":"Pump")"); }, 10s));

    desktop->boardWindow.show();
    desktop->boardWindow.findChild<QLineEdit*>(QStringLiteral("RelayName02"))
        ->setText(QStringLiteral("Main pump"));
    desktop->boardWindow.findChild<QPushButton*>(QStringLiteral("OKButt"))->click();
    EXPECT_TRUE(
        waitUntil([&] { return last.value(relay02).contains(R"("name":"Main pump")"); }, 10s));
    desktop.reset();
    QFile::remove(network::MqttSettingsFile());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program on MQTT: its settings file and window, and the
// desktop's controller on Debian's mosquitto, driven by the scripted board.
// What BoardTopics publishes and obeys is the service tests' to check.
#include "board/protocol.h"
#include "common/folders.h"
#include "desktop/desktop.h"
#include "desktop/desktopmqtt.h"
#include "desktop/mqttwindow.h"
#include "support/fakelink.h"
#include "support/manualclock.h"
#include "support/rig.h"
#include "tools/broker.h"
#include "tools/waituntil.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace {

using network::DesktopMqtt;
using std::chrono::seconds;

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

// A subscriber that keeps the last payload of every topic.
struct Watcher
{
    explicit Watcher(const Broker& broker)
        : client([&] {
              network::MqttClient::Settings s;
              s.host = QStringLiteral("127.0.0.1");
              s.port = broker.port();
              s.clientId = QStringLiteral("watcher");
              return s;
          }())
    {
        client.setOnMessage(
            [this](const QString& topic, const QByteArray& payload) { last[topic] = payload; });
        client.subscribe(QStringLiteral("#"));
        client.start();
    }
    [[nodiscard]] bool says(const QString& topic, const QByteArray& payload) const
    {
        return last.contains(topic) && last.value(topic) == payload;
    }
    network::MqttClient client;
    QHash<QString, QByteArray> last;
};

// The desktop as the program builds it, over the scripted board and a
// manual clock, built once the test has laid out its settings file. The
// main window's own tick is stopped: the test ticks by hand.
class DesktopMqttTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QDir::setCurrent(folder.path());
        QFile::remove(network::MqttSettingsFile());
    }
    void TearDown() override
    {
        desktop.reset();
        QFile::remove(network::MqttSettingsFile());
        QDir::setCurrent(previous);
    }
    void build()
    {
        desktop.emplace(link, clock, regional);
        desktop->mainWindow.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    }
    template <typename T = QWidget> T* field(const QString& name)
    {
        T* widget = desktop->mqttWindow.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << qPrintable(name);
        return widget;
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
    // Runs poll cycles, with the events between them, until the condition
    // holds or the bound has passed.
    template <typename Condition> bool cycleUntil(Condition condition)
    {
        return waitUntil(
            [&] {
                cycle();
                return condition();
            },
            seconds(10));
    }
    [[nodiscard]] DesktopMqtt& mqtt() { return desktop->mqtt; }

    QString previous = QDir::currentPath();
    QTemporaryDir folder;
    FakeLink link;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    std::optional<Desktop> desktop;
};

TEST_F(DesktopMqttTest, IsOffWithoutASettingsFileAndItsItemIsTheLastOfThePortMenu)
{
    build();
    tick();
    desktop->core.ActiveButtClick();
    cycle();
    EXPECT_EQ(mqtt().state(), DesktopMqtt::State::Off);
    EXPECT_FALSE(mqtt().settings().enabled);
    EXPECT_TRUE(mqtt().logLines().isEmpty());
    EXPECT_EQ(mqtt().stateText(), QStringLiteral("Off"));
    EXPECT_FALSE(QFile::exists(network::MqttSettingsFile()));

    const auto* port = desktop->mainWindow.menuBar()->findChild<QMenu*>(QStringLiteral("Port1"));
    ASSERT_NE(port, nullptr);
    QStringList items;
    for (const QAction* action : port->actions())
        items.append(action->objectName());
    EXPECT_EQ(items.first(), QStringLiteral("Set1"));
    EXPECT_EQ(items.last(), QStringLiteral("Mqtt1"));
    port->actions().last()->trigger();
    EXPECT_TRUE(desktop->mqttWindow.isVisible());
    EXPECT_FALSE(field<QCheckBox>(QStringLiteral("MqttEnabled"))->isChecked());
    EXPECT_EQ(field<QLineEdit>(QStringLiteral("PortEdit"))->text(), QStringLiteral("1883"));
    EXPECT_EQ(field<QLineEdit>(QStringLiteral("DiscoveryPrefixEdit"))->text(),
              QStringLiteral("homeassistant"));
    EXPECT_EQ(field<QLineEdit>(QStringLiteral("NameEdit"))->text(), network::DefaultBoardName());
    EXPECT_EQ(field<QLineEdit>(QStringLiteral("PasswordEdit"))->echoMode(), QLineEdit::Password);
}

TEST_F(DesktopMqttTest, TheWindowSavesAPrivateFileAndReconnectsWithoutShowingThePassword)
{
    QTemporaryDir secrets;
    const QString passwords = secrets.filePath(QStringLiteral("passwords"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("/usr/bin/mosquitto_passwd"),
                                {"-c", "-b", passwords, "desk", "right-pw-417"}),
              0);
    Broker broker({QStringLiteral("password_file ") + passwords});
    ASSERT_TRUE(broker.start());
    // A file left readable by others becomes the user's alone.
    ASSERT_TRUE(writeAll(network::MqttSettingsFile(), "enabled = off\n"));
    ASSERT_TRUE(QFile::setPermissions(network::MqttSettingsFile(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    build();
    desktop->mqttWindow.show();

    const auto fill = [&](const QString& password) {
        field<QCheckBox>(QStringLiteral("MqttEnabled"))->setChecked(true);
        field<QLineEdit>(QStringLiteral("NameEdit"))->setText(QStringLiteral("bench"));
        field<QLineEdit>(QStringLiteral("HostEdit"))->setText(QStringLiteral("127.0.0.1"));
        field<QLineEdit>(QStringLiteral("PortEdit"))->setText(QString::number(broker.port()));
        field<QLineEdit>(QStringLiteral("UserEdit"))->setText(QStringLiteral("desk"));
        field<QLineEdit>(QStringLiteral("PasswordEdit"))->setText(password);
        field<QPushButton>(QStringLiteral("OKButt"))->click();
    };
    const auto shown = [&] {
        QStringList texts;
        for (const QWidget* window : {static_cast<QWidget*>(&desktop->mainWindow),
                                      static_cast<QWidget*>(&desktop->mqttWindow)})
            for (const QLabel* label : window->findChildren<QLabel*>())
                texts.append(label->text());
        const auto* log = field<QListWidget>(QStringLiteral("MqttLog"));
        for (int i = 0; i < log->count(); ++i)
            texts.append(log->item(i)->text());
        return texts.join(QLatin1Char('\n'));
    };

    fill(QStringLiteral("wrong-pw-905"));
    EXPECT_FALSE(desktop->mqttWindow.isVisible());
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(network::MqttSettingsFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const QByteArray text = readAll(network::MqttSettingsFile());
    for (const QByteArray& line :
         {QByteArray("enabled = on"), QByteArray("name = bench"),
          "mqtt = mqtt://desk@127.0.0.1:" + QByteArray::number(broker.port()),
          QByteArray("mqtt-password = wrong-pw-905"),
          QByteArray("mqtt-discovery-prefix = homeassistant"), QByteArray("mqtt-discovery = on")})
        EXPECT_TRUE(text.split('\n').contains(line))
            << text.constData() << "\nlacks " << line.constData();
    ASSERT_TRUE(waitUntil([&] { return mqtt().state() == DesktopMqtt::State::Refused; }))
        << mqtt().logLines().join(QLatin1Char('\n')).toStdString();
    const QString refused = field<QLabel>(QStringLiteral("MqttState"))->text();
    EXPECT_TRUE(refused.startsWith(QStringLiteral("Refused by 127.0.0.1:")))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(QStringLiteral("not authori"))) << refused.toStdString();

    // New settings connect again, with the new password.
    desktop->mqttWindow.show();
    EXPECT_EQ(field<QLineEdit>(QStringLiteral("NameEdit"))->text(), QStringLiteral("bench"));
    fill(QStringLiteral("right-pw-417"));
    ASSERT_TRUE(waitUntil([&] { return mqtt().state() == DesktopMqtt::State::Connected; }))
        << mqtt().logLines().join(QLatin1Char('\n')).toStdString();
    desktop->mqttWindow.show();
    EXPECT_TRUE(field<QLabel>(QStringLiteral("MqttState"))
                    ->text()
                    .startsWith(QStringLiteral("Connected to 127.0.0.1:")));
    EXPECT_GE(field<QListWidget>(QStringLiteral("MqttLog"))->count(), 2);
    const QString everything = shown();
    EXPECT_FALSE(everything.contains(QStringLiteral("-pw-"))) << everything.toStdString();
}

TEST_F(DesktopMqttTest, TheBoardOfTheDesktopIsPublishedAndObeyedAndTheTraceStillRecords)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Watcher watcher(broker);
    ASSERT_TRUE(waitUntil([&] { return watcher.client.connected(); }));
    ASSERT_TRUE(writeAll(network::MqttSettingsFile(),
                         QStringLiteral("enabled = on\nname = bench\nmqtt = mqtt://127.0.0.1:%1\n")
                             .arg(broker.port())
                             .toUtf8()));
    build();
    const QString prefix = QStringLiteral("qmxv217/bench/");
    ASSERT_TRUE(waitUntil([&] { return watcher.says(prefix + "availability", "offline"); }))
        << mqtt().logLines().join(QLatin1Char('\n')).toStdString();

    tick();
    desktop->core.ActiveButtClick();
    ASSERT_TRUE(cycleUntil([&] {
        return watcher.says(prefix + "availability", "online") &&
               watcher.says(prefix + "relay/16/state", "OFF") &&
               watcher.says(prefix + "input/6/state", "OFF");
    }));
    qsizetype configs = 0;
    for (const QString& topic : watcher.last.keys())
        configs += topic.startsWith(QStringLiteral("homeassistant/")) &&
                   topic.contains(QStringLiteral("/qmxv217_bench/"));
    EXPECT_EQ(configs, 22);
    EXPECT_TRUE(watcher.says(prefix + "status", "System opened"));

    watcher.client.publish(prefix + "relay/05/set", "ON", false);
    ASSERT_TRUE(cycleUntil([&] { return watcher.says(prefix + "relay/05/state", "ON"); }));
    EXPECT_GE(link.count(board::RelayCommandFor(0x0010)), 1);
    bool traced = false;
    for (qsizetype i = 0; i < desktop->trace.size(); ++i)
        traced = traced || (desktop->trace.at(i).kind == SignalTrace::Kind::Relays &&
                            desktop->trace.at(i).relays == 0x0010);
    EXPECT_TRUE(traced);

    desktop->core.ActiveButtClick();
    ASSERT_TRUE(cycleUntil([&] { return watcher.says(prefix + "availability", "offline"); }));
    EXPECT_FALSE(desktop->core.poll().SystemActive());
    // While idle a command is refused and said in the window's log.
    const auto refused = [&](const QString& relay) {
        const QString line = QStringLiteral("MQTT %1relay/%2/set: the board is not responding; "
                                            "nothing changed")
                                 .arg(prefix, relay);
        watcher.client.publish(prefix + "relay/" + relay + "/set", "ON", false);
        return waitUntil([&] { return mqtt().logLines().join(QLatin1Char('\n')).contains(line); });
    };
    ASSERT_TRUE(refused(QStringLiteral("06")));
    EXPECT_EQ(desktop->core.poll().PortOut() & 0x0020, 0);
    // Activated again with the board silent, so far: running, not yet
    // responding. A command now is refused and does not act once the board
    // answers.
    link.autoReply = false;
    desktop->core.ActiveButtClick();
    ASSERT_TRUE(desktop->core.poll().SystemActive());
    ASSERT_TRUE(refused(QStringLiteral("07")));
    EXPECT_EQ(desktop->core.poll().PortOut() & 0x0040, 0);
    ASSERT_TRUE(cycleUntil([&] { return watcher.says(prefix + "availability", "online"); }));
    EXPECT_EQ(desktop->core.poll().PortOut() & 0x0040, 0);
    EXPECT_FALSE(watcher.says(prefix + "relay/07/state", "ON"));

    // Turning it off in the window says offline and leaves.
    desktop->mqttWindow.show();
    field<QCheckBox>(QStringLiteral("MqttEnabled"))->setChecked(false);
    field<QPushButton>(QStringLiteral("OKButt"))->click();
    EXPECT_EQ(mqtt().state(), DesktopMqtt::State::Off);
    EXPECT_TRUE(readAll(network::MqttSettingsFile()).contains("enabled = off\n"));
}

// The board's names reach discovery through the desktop's connection, and
// mqtt-input-events survives the window, which does not show it.
TEST_F(DesktopMqttTest, TheBoardsNamesAndInputEventEntitiesGoThroughTheDesktopsConnection)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Watcher watcher(broker);
    ASSERT_TRUE(waitUntil([&] { return watcher.client.connected(); }));
    ASSERT_TRUE(writeAll(network::MqttSettingsFile(),
                         QStringLiteral("enabled = on\nname = bench\nmqtt = mqtt://127.0.0.1:%1\n"
                                        "mqtt-input-events = on\n")
                             .arg(broker.port())
                             .toUtf8()));
    build();
    safety::BoardSettings named;
    named.relayNames[0] = QStringLiteral("Pump");
    mqtt().setBoardSettings(named);
    const QString relay01 = QStringLiteral("homeassistant/switch/qmxv217_bench/relay01/config");
    const QString event1 = QStringLiteral("homeassistant/event/qmxv217_bench/input1/config");
    ASSERT_TRUE(waitUntil([&] {
        return watcher.last.value(relay01).contains(R"("name":"Pump")") &&
               watcher.last.contains(event1);
    })) << mqtt().logLines().join(QLatin1Char('\n')).toStdString();

    // A rename while connected is announced at once, under the same id.
    named.relayNames[0] = QStringLiteral("Main pump");
    mqtt().setBoardSettings(named);
    ASSERT_TRUE(
        waitUntil([&] { return watcher.last.value(relay01).contains(R"("name":"Main pump")"); }));
    EXPECT_TRUE(watcher.last.value(relay01).contains(R"("unique_id":"qmxv217_bench_relay01")"));

    desktop->mqttWindow.show();
    field<QPushButton>(QStringLiteral("OKButt"))->click();
    EXPECT_TRUE(
        readAll(network::MqttSettingsFile()).split('\n').contains("mqtt-input-events = on"));
    EXPECT_TRUE(mqtt().settings().mqtt.inputEvents);
    // Off, the default, is not written: files stay as they were.
    EXPECT_FALSE(
        network::MqttSettingsText(network::DesktopMqttSettings{}).contains("input-events"));
}

// A relay the board's settings hold off is told on the status topic, as
// the message panel shows it.
TEST_F(DesktopMqttTest, ARelayHeldOffByAnInterlockIsToldOnTheStatusTopic)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Watcher watcher(broker);
    ASSERT_TRUE(waitUntil([&] { return watcher.client.connected(); }));
    ASSERT_TRUE(writeAll(network::MqttSettingsFile(),
                         QStringLiteral("enabled = on\nname = bench\nmqtt = mqtt://127.0.0.1:%1\n")
                             .arg(broker.port())
                             .toUtf8()));
    build();
    safety::BoardSettings interlocked;
    interlocked.interlocks = {0x0003};
    desktop->core.setBoardSettings(interlocked);
    tick();
    desktop->core.ActiveButtClick();
    const QString prefix = QStringLiteral("qmxv217/bench/");
    ASSERT_TRUE(cycleUntil([&] { return watcher.says(prefix + "availability", "online"); }));

    watcher.client.publish(prefix + "relays/set", "0003", false);
    ASSERT_TRUE(cycleUntil([&] {
        return watcher.says(prefix + "status", "relay 02 held off: interlock with 01");
    })) << watcher.last.value(prefix + "status").constData();
    ASSERT_TRUE(cycleUntil([&] { return watcher.says(prefix + "relay/01/state", "ON"); }));
    EXPECT_TRUE(watcher.says(prefix + "relay/02/state", "OFF"));
}

TEST(DesktopMqttFile, ACorruptFileLeavesMqttOffIsToldOnceAndIsKept)
{
    Rig rig;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("mqtt.conf"));
    const QByteArray corrupt = "enabled = on\nmqtt = mqtt://127.0.0.1:1883\nspeed = fast\n";
    ASSERT_TRUE(writeAll(path, corrupt));
    {
        DesktopMqtt mqtt(
            rig.core.poll(), [](quint16, quint16) {}, rig.view, rig.clock, path,
            [&] { return !rig.core.FirstTick; });
        mqtt.load();
        EXPECT_EQ(mqtt.state(), DesktopMqtt::State::Off);
        EXPECT_FALSE(mqtt.settings().enabled);
        // After the controller's start-up, whose boxes come first.
        rig.startUp();
        ASSERT_TRUE(waitUntil([&] { return rig.view.boxes.size() == 1; }));
        EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Error"));
        EXPECT_TRUE(
            rig.view.boxes.at(0).text.contains(path + QStringLiteral(":3: unknown key 'speed'")))
            << rig.view.boxes.at(0).text.toStdString();
        bool later = false;
        QTimer::singleShot(3 * DesktopMqtt::kCheckPeriod, [&] { later = true; });
        ASSERT_TRUE(waitUntil([&] { return later; }));
        EXPECT_EQ(rig.view.boxes.size(), 1);
        EXPECT_EQ(mqtt.stateText(), QStringLiteral("Off: the settings file cannot be used"));
    }
    EXPECT_EQ(readAll(path), corrupt);
}

TEST(DesktopMqttFile, WhatIsWrittenReadsBackAndFaultsNameTheirLine)
{
    network::DesktopMqttSettings s;
    s.enabled = true;
    s.name = QStringLiteral("bench");
    s.mqtt.host = QStringLiteral("broker.lan");
    s.mqtt.port = 8883;
    s.mqtt.user = QStringLiteral("desk");
    s.mqtt.password = QStringLiteral("p a=s#s");
    s.mqtt.clientId = QStringLiteral("desk 1");
    s.mqtt.caFile = QStringLiteral("/etc/ssl/ca.pem");
    s.mqtt.tls = true;
    s.mqtt.topicPrefix = QStringLiteral("home/bench");
    s.mqtt.discoveryPrefix = QStringLiteral("ha");
    s.mqtt.discovery = false;
    ASSERT_EQ(network::CheckMqttSettings(s), QString());
    const auto back =
        network::ParseMqttSettings(QStringLiteral("/c/mqtt.conf"), network::MqttSettingsText(s));
    ASSERT_TRUE(std::holds_alternative<network::DesktopMqttSettings>(back))
        << std::get<QString>(back).toStdString();
    EXPECT_TRUE(std::get<network::DesktopMqttSettings>(back) == s);

    const struct
    {
        const char* text;
        const char* problem;
    } faults[] = {
        {"enabled = yes\n", "/c/mqtt.conf:1: enabled 'yes' is not on or off"},
        {"# x\nmqtt = mqtt://h:99999\n", "/c/mqtt.conf:2: mqtt: port 99999 is not 1 to 65535"},
        {"name = a b\n", "/c/mqtt.conf:1: name 'a b' is not 1 to 32 letters"},
        {"mqtt-discovery = on\nmqtt-discovery = off\n",
         "/c/mqtt.conf:2: 'mqtt-discovery' is set twice"},
        {"enabled = on\n", "/c/mqtt.conf: enabled = on needs the broker"},
    };
    for (const auto& f : faults) {
        const auto read = network::ParseMqttSettings(QStringLiteral("/c/mqtt.conf"), f.text);
        ASSERT_TRUE(std::holds_alternative<QString>(read)) << f.text;
        EXPECT_TRUE(std::get<QString>(read).startsWith(QString::fromUtf8(f.problem)))
            << std::get<QString>(read).toStdString();
    }
}

} // namespace

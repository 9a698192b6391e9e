// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d with --mqtt against Debian's mosquitto and the board simulator:
// what the broker holds for the board as the board comes and goes.
#include "common/textlines.h"
#include "network/mqttclient.h"
#include "serviceprocess.h"
#include "tools/broker.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>

namespace {

using std::chrono::seconds;

TEST(ServiceMqtt, AvailabilityFollowsTheBoardAndTheWillTellsOfAKilledService)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    ASSERT_TRUE(sim.start());
    const QString project = work.filePath(QStringLiteral("p.iom"));
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});

    network::MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.clientId = QStringLiteral("watcher");
    network::MqttClient watcher(settings);
    QByteArray availability;
    QByteArrayList availabilities;
    QByteArrayList statuses;
    watcher.setOnMessage([&](const QString& topic, const QByteArray& payload) {
        if (topic.endsWith(QStringLiteral("/status"))) {
            statuses.append(payload);
            return;
        }
        availability = payload;
        availabilities.append(payload);
    });
    watcher.subscribe(QStringLiteral("qmxv217/tank/availability"));
    watcher.subscribe(QStringLiteral("qmxv217/tank/status"));
    watcher.start();

    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--name", "tank", "--port", "4", "--project", project, "--mqtt",
                   QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())});
    ASSERT_TRUE(waitUntil([&] { return availability == "online"; }, seconds(10)))
        << service.log() << broker.output().constData();

    sim.command("silent on");
    ASSERT_TRUE(waitUntil([&] { return availability == "offline"; }, seconds(10))) << service.log();
    // Activated again while the board is still silent, and silent again:
    // no good echo came, so the board never read online in between.
    const auto count = [&](const char* text) {
        const std::string log = service.log();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    };
    const qsizetype offlineAt = availabilities.size();
    ASSERT_TRUE(waitUntil([&] { return count("The board is not responding") >= 2; }, seconds(10)))
        << service.log();
    EXPECT_FALSE(availabilities.mid(offlineAt).contains("online")) << service.log();
    sim.command("silent off");
    ASSERT_TRUE(waitUntil([&] { return availability == "online"; }, seconds(15))) << service.log();

    service.signal(SIGKILL);
    EXPECT_TRUE(waitUntil([&] { return availability == "offline"; }, seconds(60)))
        << broker.output().constData();
}

// A subscriber that keeps the last payload of every topic.
struct Watcher
{
    // caFile: TLS, for a broker with a TLS listener.
    Watcher(const Broker& broker, const QString& filter, const QString& caFile = {})
        : client([&] {
              network::MqttClient::Settings s;
              s.host = QStringLiteral("127.0.0.1");
              s.port = broker.port();
              s.clientId = QStringLiteral("watcher");
              s.caFile = caFile;
              return s;
          }())
    {
        client.setOnMessage(
            [this](const QString& topic, const QByteArray& payload) { last[topic] = payload; });
        client.subscribe(filter);
        client.start();
    }
    [[nodiscard]] bool says(const QString& topic, const QByteArray& payload) const
    {
        return last.contains(topic) && last.value(topic) == payload;
    }
    network::MqttClient client;
    QHash<QString, QByteArray> last;
};

TEST(ServiceMqtt, CommandsSwitchRelaysAfterTheEchoInputsAndDiscoveryArePublished)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    sim.keepEvents();
    ASSERT_TRUE(sim.start());
    const QString project = work.filePath(QStringLiteral("p.iom"));
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
    Watcher watcher(broker, QStringLiteral("#"));
    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--name", "tank", "--port", "4", "--project", project, "--mqtt",
                   QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())});
    const QString prefix = QStringLiteral("qmxv217/tank/");
    ASSERT_TRUE(
        waitUntil([&] { return watcher.says(prefix + "relay/16/state", "OFF"); }, seconds(10)))
        << service.log();
    ASSERT_TRUE(waitUntil([&] { return watcher.says(prefix + "input/6/state", "OFF"); }));

    // Discovery: 16 switches and 6 binary sensors of one device.
    QStringList ids;
    for (const QString& topic : watcher.last.keys()) {
        if (!topic.startsWith(QStringLiteral("homeassistant/")))
            continue;
        const QJsonObject config = QJsonDocument::fromJson(watcher.last.value(topic)).object();
        ASSERT_FALSE(config.isEmpty()) << topic.toStdString();
        for (const char* key : {"name", "unique_id", "state_topic", "payload_on", "payload_off",
                                "availability_topic", "device"})
            EXPECT_TRUE(config.contains(QLatin1String(key))) << topic.toStdString() << key;
        EXPECT_EQ(config.contains(QStringLiteral("command_topic")),
                  topic.contains(QStringLiteral("/switch/")));
        EXPECT_EQ(config.value(QStringLiteral("device")).toObject().value("identifiers"),
                  QJsonArray{QStringLiteral("qmxv217_tank")});
        ids.append(config.value(QStringLiteral("unique_id")).toString());
    }
    EXPECT_EQ(ids.size(), 22);
    EXPECT_TRUE(watcher.last.contains("homeassistant/switch/qmxv217_tank/relay03/config"));
    EXPECT_TRUE(watcher.last.contains("homeassistant/binary_sensor/qmxv217_tank/input6/config"));

    // The state follows the echo of the word that carries it.
    const qsizetype mark = sim.events().size();
    watcher.client.publish(prefix + "relay/03/set", "ON", false);
    ASSERT_TRUE(sim.waitFor("rx", "R0004\\r", 5000)) << sim.log();
    ASSERT_TRUE(waitUntil([&] { return watcher.says(prefix + "relay/03/state", "ON"); }));

    watcher.client.publish(prefix + "relays/set", "8001", false);
    ASSERT_TRUE(sim.waitFor("rx", "R8001\\r", 5000)) << sim.log();
    watcher.client.publish(prefix + "relay/16/set", "TOGGLE", false);
    ASSERT_TRUE(sim.waitFor("rx", "R0001\\r", 5000)) << sim.log();
    ASSERT_TRUE(waitUntil([&] {
        return watcher.says(prefix + "relay/16/state", "OFF") &&
               watcher.says(prefix + "relay/01/state", "ON") &&
               watcher.says(prefix + "relay/03/state", "OFF");
    }));

    // Nonsense changes nothing and is told: the first at once, the rest
    // within a second, in one line with their count.
    const qsizetype logMark = service.lines().size();
    for (const auto& [topic, payload] :
         QList<std::pair<QString, QByteArray>>{{"relay/03/set", "on"},
                                               {"relay/17/set", "ON"},
                                               {"relays/set", "12345"},
                                               {"relay/03/set", QByteArray(65, 'O')}})
        watcher.client.publish(prefix + topic, payload, false);
    watcher.client.publish(prefix + "relay/02/set", "ON", false);
    ASSERT_TRUE(sim.waitFor("rx", "R0003\\r", 5000)) << sim.log();
    ASSERT_GE(
        service.waitForLine(QStringLiteral("(and 2 more refused in the last second)"), logMark), 0)
        << service.log();
    EXPECT_EQ(service.count(QStringLiteral("nothing changed"), logMark), 2) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("is not ON, OFF or TOGGLE"), logMark), 1)
        << service.log();
    for (const QByteArray& command : sim.commands(mark))
        EXPECT_TRUE(command.startsWith("I") || command == "R0004\\r" || command == "R8001\\r" ||
                    command == "R0001\\r" || command == "R0003\\r")
            << command.toStdString();

    ASSERT_TRUE(sim.commandAndWait("inputs 5"));
    EXPECT_TRUE(waitUntil([&] {
        return watcher.says(prefix + "input/1/state", "ON") &&
               watcher.says(prefix + "input/3/state", "ON") &&
               watcher.says(prefix + "input/2/state", "OFF");
    }));
}

// The indented block of the README that starts with the comment line
// `# <file>`, as a reader copies it.
QStringList readmeBlock(const QString& file)
{
    QStringList block;
    bool inside = false;
    for (const QString& line : ReadTextLines(QStringLiteral(V217_README))) {
        if (!inside) {
            inside = line == QStringLiteral("    # ") + file;
            continue;
        }
        if (!line.isEmpty() && !line.startsWith(QStringLiteral("    ")))
            break;
        block.append(line.mid(4));
    }
    while (!block.isEmpty() && block.last().isEmpty())
        block.removeLast();
    return block;
}

TEST(ServiceMqtt, TheReadmesBrokerAccessLetsOnlyTheCommandingLoginSwitchRelays)
{
    QTemporaryDir work;
    const QString passwd = work.filePath(QStringLiteral("passwd"));
    const QString acl = work.filePath(QStringLiteral("qmxv217.acl"));
    const QStringList aclLines = readmeBlock(QStringLiteral("/etc/mosquitto/qmxv217.acl"));
    QStringList conf = readmeBlock(QStringLiteral("/etc/mosquitto/conf.d/qmxv217.conf"));
    ASSERT_FALSE(aclLines.isEmpty());
    ASSERT_FALSE(conf.isEmpty());
    {
        QFile file(acl);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((aclLines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    }
    conf.replaceInStrings(QStringLiteral("/etc/mosquitto/passwd"), passwd);
    conf.replaceInStrings(QStringLiteral("/etc/mosquitto/qmxv217.acl"), acl);
    for (const char* login : {"qmxv217d", "homeassistant", "viewer"}) {
        QProcess make;
        // -c makes the file, with the first login.
        const QStringList create = QFileInfo::exists(passwd) ? QStringList() : QStringList{"-c"};
        make.start(QStringLiteral("mosquitto_passwd"),
                   create + QStringList{"-b", passwd, login, QStringLiteral("pw-") + login});
        ASSERT_TRUE(make.waitForFinished() && make.exitCode() == 0)
            << make.readAllStandardError().constData();
    }
    Broker broker(conf);
    ASSERT_TRUE(broker.start());

    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    sim.keepEvents();
    ASSERT_TRUE(sim.start());
    const QString project = work.filePath(QStringLiteral("p.iom"));
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
    const QString password = work.filePath(QStringLiteral("mqtt-password"));
    WriteTextLines(password, {"pw-qmxv217d"});
    ASSERT_TRUE(QFile::setPermissions(password, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--name", "tank", "--port", "4", "--project", project, "--mqtt",
                   QStringLiteral("mqtt://qmxv217d@127.0.0.1:%1").arg(broker.port()),
                   "--mqtt-password-file", password});

    const auto client = [&](const QString& login) {
        network::MqttClient::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = broker.port();
        s.clientId = login.isEmpty() ? QStringLiteral("nobody") : login;
        s.user = login;
        s.password = login.isEmpty() ? QString() : QStringLiteral("pw-") + login;
        return std::make_unique<network::MqttClient>(s);
    };
    const auto commander = client(QStringLiteral("homeassistant"));
    const auto viewer = client(QStringLiteral("viewer"));
    const auto anonymous = client({});
    QByteArray relay1;
    commander->setOnMessage([&](const QString&, const QByteArray& payload) { relay1 = payload; });
    commander->subscribe(QStringLiteral("qmxv217/tank/relay/01/state"));
    for (network::MqttClient* c : {commander.get(), viewer.get(), anonymous.get()})
        c->start();
    ASSERT_TRUE(waitUntil([&] { return relay1 == "OFF" && viewer->connected(); }, seconds(10)))
        << service.log() << broker.output().constData();
    EXPECT_FALSE(anonymous->connected());

    const qsizetype mark = sim.events().size();
    ASSERT_TRUE(viewer->publish(QStringLiteral("qmxv217/tank/relay/01/set"), "ON", false));
    ASSERT_TRUE(viewer->publish(QStringLiteral("qmxv217/tank/relays/set"), "FFFF", false));
    ASSERT_TRUE(commander->publish(QStringLiteral("qmxv217/tank/relay/02/set"), "ON", false));
    ASSERT_TRUE(sim.waitFor("rx", "R0002\\r", 5000)) << sim.log() << service.log();
    // A second command of the commander's comes after whatever the viewer
    // sent has reached the broker.
    ASSERT_TRUE(commander->publish(QStringLiteral("qmxv217/tank/relay/03/set"), "ON", false));
    ASSERT_TRUE(sim.waitFor("rx", "R0006\\r", 5000)) << sim.log();
    for (const QByteArray& command : sim.commands(mark))
        EXPECT_TRUE(command.startsWith("I") || command == "R0002\\r" || command == "R0006\\r")
            << command.toStdString();
}

TEST(ServiceMqtt, BoardRemovedOnReloadTakesItsDiscoveryMessagesAlong)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard tank(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    SimulatedBoard pump(configHome.path(), 5, QStringLiteral(V217_BOARDSIM));
    ASSERT_TRUE(tank.start());
    ASSERT_TRUE(pump.start());
    WriteTextLines(work.filePath(QStringLiteral("p.iom")), {"0", "0", "0", "[t]", "[r]"});
    const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port());
    const auto section = [&](const QString& name, int port) {
        return QStringLiteral("[%1]\nport = %2\nproject = p.iom\nmqtt = %3\n")
            .arg(name)
            .arg(port)
            .arg(url)
            .toUtf8();
    };
    const QString config = work.filePath(QStringLiteral("qmxv217d.conf"));
    const auto writeConfig = [&](const QByteArray& text) {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    writeConfig(section(QStringLiteral("tank"), 4) + section(QStringLiteral("pump"), 5));
    Watcher watcher(broker, QStringLiteral("homeassistant/#"));
    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--config", config});
    const QString pumpRelay = QStringLiteral("homeassistant/switch/qmxv217_pump/relay01/config");
    const QString tankRelay = QStringLiteral("homeassistant/switch/qmxv217_tank/relay01/config");
    ASSERT_TRUE(waitUntil([&] {
        return !watcher.last.value(pumpRelay).isEmpty() && !watcher.last.value(tankRelay).isEmpty();
    })) << service.log();

    writeConfig(section(QStringLiteral("tank"), 4));
    service.signal(SIGHUP);
    ASSERT_TRUE(waitUntil([&] {
        return watcher.last.contains(pumpRelay) && watcher.last.value(pumpRelay).isEmpty();
    })) << service.log();
    const QString pumpInput =
        QStringLiteral("homeassistant/binary_sensor/qmxv217_pump/input6/config");
    EXPECT_TRUE(waitUntil([&] { return watcher.last.value(pumpInput, "x").isEmpty(); }));
    EXPECT_FALSE(watcher.last.value(tankRelay).isEmpty());
}

TEST(ServiceMqtt, ReloadAppliesChangedMqttSettings)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    sim.keepEvents();
    ASSERT_TRUE(sim.start());
    WriteTextLines(work.filePath(QStringLiteral("p.iom")), {"0", "0", "0", "[t]", "[r]"});
    const QString config = work.filePath(QStringLiteral("qmxv217d.conf"));
    const auto writeConfig = [&](const QString& mqtt) {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("[tank]\nport = 4\nproject = p.iom\n%1")
                       .arg(mqtt.arg(broker.port()))
                       .toUtf8());
    };
    writeConfig(QStringLiteral("mqtt = mqtt://127.0.0.1:%1\nmqtt-topic-prefix = site/a\n"));
    Watcher watcher(broker, QStringLiteral("#"));
    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--config", config});
    const QString discovery = QStringLiteral("homeassistant/switch/qmxv217_tank/relay03/config");
    ASSERT_TRUE(waitUntil([&] { return watcher.says("site/a/availability", "online"); }))
        << service.log();

    // A new topic prefix: offline on the old topics, the board on the new
    // ones and discovery pointing there, commands taken there.
    writeConfig(QStringLiteral("mqtt = mqtt://127.0.0.1:%1\nmqtt-topic-prefix = site/b\n"));
    service.signal(SIGHUP);
    ASSERT_TRUE(waitUntil([&] {
        return watcher.says("site/a/availability", "offline") &&
               watcher.says("site/b/availability", "online") &&
               watcher.last.value(discovery).contains("site/b/relay/03/set");
    })) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("connected to MQTT broker")), 2) << service.log();
    watcher.client.publish(QStringLiteral("site/b/relay/03/set"), "ON", false);
    ASSERT_TRUE(sim.waitFor("rx", "R0004\\r", 5000)) << sim.log() << service.log();

    // The same settings again: nothing to do.
    const qsizetype mark = service.lines().size();
    service.signal(SIGHUP);
    const qsizetype reloading = service.waitForLine(QStringLiteral("reloading"), mark);
    ASSERT_GE(reloading, 0) << service.log();
    ASSERT_GE(service.waitForLine(QStringLiteral("timer records"), reloading), 0);

    // No broker any more: offline, and the entities go.
    writeConfig(QString());
    service.signal(SIGHUP);
    ASSERT_TRUE(waitUntil([&] {
        return watcher.says("site/b/availability", "offline") && watcher.last.contains(discovery) &&
               watcher.last.value(discovery).isEmpty();
    })) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("connected to MQTT broker")), 2) << service.log();
    EXPECT_EQ(service.count(QStringLiteral("MQTT settings changed")), 1) << service.log();
}

TEST(ServiceMqtt, TlsWithTheCaFileBringsTheDiscoveryMessages)
{
    QTemporaryDir certificates;
    ThrowawayCa ca(certificates.path(), QStringLiteral("ca"));
    ASSERT_TRUE(ca.make());
    const std::optional<Broker::Tls> tls = ca.serverCertificate(QStringLiteral("broker"));
    ASSERT_TRUE(tls);
    Broker broker({}, *tls);
    ASSERT_TRUE(broker.start());
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    ASSERT_TRUE(sim.start());
    const QString project = work.filePath(QStringLiteral("p.iom"));
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
    Watcher watcher(broker, QStringLiteral("#"), ca.caFile());
    // The CA file turns TLS on; the URL keeps its mqtt:// scheme.
    const QString config = work.filePath(QStringLiteral("qmxv217d.conf"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[tank]\nport = 4\nproject = %1\nmqtt = mqtt://127.0.0.1:%2\n"
                              "mqtt-ca-file = %3\n")
                   .arg(project)
                   .arg(broker.port())
                   .arg(ca.caFile())
                   .toUtf8());
    file.close();
    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--config", config});
    ASSERT_TRUE(waitUntil(
        [&] {
            return !watcher.last.value("homeassistant/switch/qmxv217_tank/relay16/config")
                        .isEmpty() &&
                   watcher.says(QStringLiteral("qmxv217/tank/availability"), "online");
        },
        seconds(10)))
        << service.log() << broker.output().constData();
    EXPECT_EQ(service.count(QStringLiteral("connected to MQTT broker")), 1) << service.log();
}

// The service, a simulated board on COM 4 and a watcher of every topic, the
// board running and its states on the broker.
struct TankOnBroker
{
    TankOnBroker()
        : sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM)),
          service(configHome.path(), stateHome.path())
    {
        sim.keepEvents();
    }
    [[nodiscard]] bool start()
    {
        if (!broker.start() || !sim.start())
            return false;
        const QString project = work.filePath(QStringLiteral("p.iom"));
        WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
        watcher = std::make_unique<Watcher>(broker, QStringLiteral("#"));
        service.start({"--name", "tank", "--port", "4", "--project", project, "--mqtt",
                       QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())});
        return waitUntil(
            [&] { return says("availability", "online") && says("relay/16/state", "OFF"); },
            seconds(10));
    }
    [[nodiscard]] bool says(const char* topic, const QByteArray& payload) const
    {
        return watcher->says(QStringLiteral("qmxv217/tank/") + QLatin1String(topic), payload);
    }
    void publish(const char* topic, const QByteArray& payload) const
    {
        watcher->client.publish(QStringLiteral("qmxv217/tank/") + QLatin1String(topic), payload,
                                false);
    }
    // The relay words the board has received from kept event `from` on.
    [[nodiscard]] qsizetype relayWrites(const QByteArray& word, qsizetype from) const
    {
        const QList<QByteArray> commands = sim.commands(from);
        return std::count(commands.begin(), commands.end(), word);
    }
    [[nodiscard]] std::string logs() const
    {
        return service.log() + sim.log() + "\n" + broker.output().toStdString();
    }

    // Without persistence: a broker started again holds only what the
    // service publishes anew.
    Broker broker;
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim;
    std::unique_ptr<Watcher> watcher;
    ServiceProcess service;
};

TEST(ServiceMqtt, BrokerKilledAndStartedAgainGetsEveryRetainedStateAnew)
{
    TankOnBroker r;
    ASSERT_TRUE(r.start()) << r.logs();
    r.publish("relay/03/set", "ON");
    ASSERT_TRUE(waitUntil([&] { return r.says("relay/03/state", "ON"); })) << r.logs();

    r.broker.kill();
    // The board goes on: relay writes and input reads every cycle.
    const qsizetype mark = r.sim.events().size();
    ASSERT_GE(r.service.waitForLine(QStringLiteral("connecting again in")), 0) << r.logs();
    ASSERT_TRUE(waitUntil([&] { return r.relayWrites("R0004\\r", mark) >= 5; })) << r.logs();
    EXPECT_EQ(r.service.count(QStringLiteral("The board is not responding")), 0) << r.logs();

    r.watcher->last.clear();
    ASSERT_TRUE(r.broker.start());
    // Reconnecting after 1 s, then 2 s, ...: within a few seconds.
    ASSERT_TRUE(waitUntil(
        [&] {
            return r.service.count(QStringLiteral("connected to MQTT broker")) == 2 &&
                   r.says("availability", "online") && r.says("relay/03/state", "ON") &&
                   r.says("relay/16/state", "OFF") && r.says("input/6/state", "OFF") &&
                   r.watcher->last.size() >= 1 + 16 + 6 + 22;
        },
        seconds(10)))
        << r.logs();
    for (const char* config : {"homeassistant/switch/qmxv217_tank/relay03/config",
                               "homeassistant/binary_sensor/qmxv217_tank/input6/config"})
        EXPECT_FALSE(r.watcher->last.value(QLatin1String(config)).isEmpty()) << config;

    const qsizetype before = r.sim.events().size();
    r.publish("relay/03/set", "OFF");
    ASSERT_TRUE(waitUntil([&] { return r.relayWrites("R0000\\r", before) >= 1; })) << r.logs();
    EXPECT_TRUE(waitUntil([&] { return r.says("relay/03/state", "OFF"); })) << r.logs();
}

TEST(ServiceMqtt, ARetainedCommandIsIgnoredWhenTheServiceConnectsAgain)
{
    TankOnBroker r;
    ASSERT_TRUE(r.start()) << r.logs();
    r.watcher->client.publish(QStringLiteral("qmxv217/tank/relay/03/set"), "ON", true);
    ASSERT_TRUE(waitUntil([&] { return r.says("relay/03/state", "ON"); })) << r.logs();
    r.publish("relay/03/set", "OFF");
    ASSERT_TRUE(waitUntil([&] { return r.says("relay/03/state", "OFF"); })) << r.logs();

    // Another client takes the service's client id: the broker closes the
    // service's connection, and the service connects again a second later.
    const qsizetype mark = r.sim.events().size();
    const qsizetype logMark = r.service.lines().size();
    {
        network::MqttClient::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = r.broker.port();
        s.clientId = QStringLiteral("qmxv217d-tank");
        network::MqttClient intruder(s);
        intruder.start();
        ASSERT_TRUE(waitUntil([&] { return intruder.connected(); })) << r.logs();
    }
    const qsizetype ignored = r.service.waitForLine(
        QStringLiteral("ignored retained command on qmxv217/tank/relay/03/set"), logMark);
    ASSERT_GE(ignored, 0) << r.logs();
    EXPECT_TRUE(r.service.lines().at(ignored).text.startsWith(QStringLiteral("tank: warning: ")));
    ASSERT_TRUE(waitUntil([&] { return r.relayWrites("R0000\\r", mark) >= 10; })) << r.logs();
    EXPECT_EQ(r.relayWrites("R0004\\r", mark), 0) << r.logs();
    EXPECT_EQ(r.service.count(QStringLiteral("ignored retained command"), logMark), 1);
}

// A broker whose name takes 3 s to look up: the board is polled all the
// while, and the service connects once the name is known.
TEST(ServiceMqtt, ASlowNameLookupOfTheBrokerDoesNotHoldUpTheBoard)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    SimulatedBoard sim(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
    sim.keepEvents();
    ASSERT_TRUE(sim.start());
    const QString project = work.filePath(QStringLiteral("p.iom"));
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
    ServiceProcess service(configHome.path(), stateHome.path());
    service.setEnvironment(QStringLiteral("LD_PRELOAD"), QStringLiteral(V217_SLOW_LOOKUP));
    service.setEnvironment(QStringLiteral("V217_SLOW_HOST"), QStringLiteral("broker.slow.test"));
    service.setEnvironment(QStringLiteral("V217_SLOW_MS"), QStringLiteral("3000"));
    // A sanitizer build's runtime would otherwise refuse to come second.
    service.setEnvironment(QStringLiteral("ASAN_OPTIONS"),
                           qEnvironmentVariable("ASAN_OPTIONS") +
                               QStringLiteral(":verify_asan_link_order=0"));
    service.start({"--name", "tank", "--port", "4", "--project", project, "--mqtt",
                   QStringLiteral("mqtt://broker.slow.test:%1").arg(broker.port())});
    ASSERT_GE(service.waitForLine(QStringLiteral("connected to MQTT broker broker.slow.test"), 0,
                                  seconds(15)),
              0)
        << service.log();
    // 3 s of the poll cycle: a command every 0.1 s.
    EXPECT_GE(sim.commands(0).size(), 10) << sim.log() << service.log();
}

TEST(ServiceMqtt, CommandWhileTheBoardIsNotRespondingIsRefusedAndNeverActsLater)
{
    TankOnBroker r;
    ASSERT_TRUE(r.start()) << r.logs();

    r.sim.command("silent on");
    const qsizetype lost =
        r.service.waitForLine(QStringLiteral("The board is not responding"), 0, seconds(10));
    ASSERT_GE(lost, 0) << r.logs();
    // Activated again, the board still silent: running, not yet responding.
    const qsizetype again = r.service.waitForLine(QStringLiteral("System opened"), lost);
    ASSERT_GE(again, 0) << r.logs();
    r.publish("relay/03/set", "ON");
    const qsizetype refusal =
        r.service.waitForLine(QStringLiteral("MQTT qmxv217/tank/relay/03/set"), again);
    ASSERT_GE(refusal, 0) << r.logs();
    const QString line = r.service.lines().at(refusal).text;
    EXPECT_TRUE(line.startsWith(QStringLiteral("tank: warning: ")) &&
                line.endsWith(QStringLiteral("; nothing changed")))
        << line.toStdString();
    EXPECT_EQ(r.service.count(QStringLiteral("relay/03/set")), 1) << r.logs();

    const qsizetype mark = r.sim.events().size();
    r.sim.command("silent off");
    ASSERT_TRUE(waitUntil([&] { return r.says("availability", "online"); }, seconds(15)))
        << r.logs();
    ASSERT_TRUE(waitUntil([&] { return r.relayWrites("R0000\\r", mark) >= 5; })) << r.logs();
    EXPECT_EQ(r.relayWrites("R0004\\r", mark), 0) << r.logs();
    EXPECT_TRUE(r.says("relay/03/state", "OFF"));
}

TEST(ServiceMqtt, ReactivationAfterAFaultGivesTheBoardBackWhatMqttSwitched)
{
    TankOnBroker r;
    ASSERT_TRUE(r.start()) << r.logs();
    r.publish("relays/set", "0044");
    ASSERT_TRUE(waitUntil([&] { return r.says("relay/07/state", "ON"); })) << r.logs();

    struct Fault
    {
        QByteArray command;
        QByteArray undo;
    };
    for (const Fault& fault :
         QList<Fault>{{"garbage", {}}, {"silent on", "silent off"}, {"hangup", "relink"}}) {
        SCOPED_TRACE(fault.command.toStdString());
        const qsizetype lines = r.service.lines().size();
        const qsizetype mark = r.sim.events().size();
        r.sim.command(fault.command);
        const qsizetype failed = r.service.waitForLine(QStringLiteral("activating again"), lines);
        ASSERT_GE(failed, 0) << r.logs();
        if (!fault.undo.isEmpty())
            r.sim.command(fault.undo);
        ASSERT_GE(r.service.waitForLine(QStringLiteral("relays 0044 again, as last confirmed"),
                                        failed, seconds(15)),
                  0)
            << r.logs();
        ASSERT_TRUE(waitUntil([&] { return r.relayWrites("R0044\\r", mark) >= 3; })) << r.logs();
        EXPECT_EQ(r.relayWrites("R0000\\r", mark), 0) << r.logs();
        EXPECT_TRUE(r.says("relay/03/state", "ON"));
    }
}

} // namespace

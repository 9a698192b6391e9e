// SPDX-License-Identifier: GPL-3.0-or-later
// One board on Debian's mosquitto through BoardLink, on the scripted board:
// availability and the refusal of commands follow the owner's predicate and
// the poll cycle, and the password stays out of every log line; discovery
// carries the board's names, input edges are events, and Home Assistant's
// restart brings everything again.
#include "network/boardlink.h"
#include "support/rig.h"
#include "tools/broker.h"
#include "tools/waituntil.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using network::BoardLink;
using std::chrono::seconds;

struct Line
{
    BoardLink::Level level;
    QString text;
};

// The board "desk" of a rig on the broker, with a watcher of all its topics.
class BoardLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker.start());
        network::MqttClient::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = broker.port();
        s.clientId = QStringLiteral("watcher");
        watcher = std::make_unique<network::MqttClient>(s);
        watcher->setOnMessage([this](const QString& topic, const QByteArray& payload) {
            last[topic] = payload;
            ++published[topic];
        });
        watcher->subscribe(QStringLiteral("desk/#"));
        watcher->subscribe(QStringLiteral("homeassistant/#"));
        watcher->start();
        ASSERT_TRUE(waitUntil([&] { return watcher->connected(); }));
        config.host = QStringLiteral("127.0.0.1");
        config.port = broker.port();
        config.discovery = false;
        rig.startUp();
    }
    void makeLink()
    {
        BoardLink::Hooks hooks;
        hooks.log = [this](BoardLink::Level level, const QString& text) {
            lines.append({level, text});
        };
        hooks.now = [this] { return now; };
        link = std::make_unique<BoardLink>(
            config, QStringLiteral("desk-link"), QStringLiteral("desk"), QStringLiteral("desk"),
            rig.core.poll(),
            [this](quint16 word, quint16 mask) {
                rig.core.requestRelays(word, mask, Controller::Source::Mqtt);
            },
            [this] { return runs; }, std::move(hooks));
    }
    [[nodiscard]] bool says(const QString& topic, const QByteArray& payload) const
    {
        return last.value(QStringLiteral("desk/") + topic) == payload;
    }
    [[nodiscard]] qsizetype count(const QString& part) const
    {
        qsizetype n = 0;
        for (const Line& line : lines)
            n += line.text.contains(part);
        return n;
    }
    // Cycles with the owner's check between them until the condition holds.
    template <typename Condition> bool cycleUntil(Condition condition)
    {
        return waitUntil(
            [&] {
                rig.cycle(1);
                link->check();
                return condition();
            },
            seconds(10));
    }
    bool refusedAfterCommand(const QString& topic)
    {
        const QString line = QStringLiteral("MQTT desk/%1: the board is not responding; "
                                            "nothing changed")
                                 .arg(topic);
        const qsizetype before = count(line);
        now += BoardLink::kRefusalPeriod;
        watcher->publish(QStringLiteral("desk/") + topic, "ON", false);
        return waitUntil([&] { return count(line) == before + 1; });
    }

    Broker broker;
    std::unique_ptr<network::MqttClient> watcher;
    QHash<QString, QByteArray> last;
    // How often each topic was published.
    QHash<QString, int> published;
    Rig rig;
    network::MqttConfig config;
    bool runs = true;
    QList<Line> lines;
    std::chrono::steady_clock::time_point now;
    std::unique_ptr<BoardLink> link;
};

TEST_F(BoardLinkTest, OnlineAndCommandsOnlyWhileTheOwnerRunsAnEchoingBoard)
{
    runs = false;
    makeLink();
    link->start();
    ASSERT_TRUE(waitUntil([&] { return says("availability", "offline"); }));

    // Active and echoing, but not run by its owner: offline, and refused.
    rig.activateAndCycle(2);
    EXPECT_FALSE(link->responding());
    ASSERT_TRUE(refusedAfterCommand(QStringLiteral("relay/02/set")));
    EXPECT_EQ(rig.core.poll().PortOut() & 0x0002, 0);

    // Only an echo seen while run counts, even before the owner's next check.
    runs = true;
    EXPECT_FALSE(link->responding());
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    watcher->publish(QStringLiteral("desk/relay/03/set"), "ON", false);
    ASSERT_TRUE(cycleUntil([&] { return says("relay/03/state", "ON"); }));

    // The watchdog says offline at once, and a command then never acts.
    rig.link.autoReply = false;
    for (int i = 0; i < board::PollCycle::kWatchdogTicks; ++i)
        rig.tick();
    ASSERT_EQ(rig.core.poll().LastFailure(), board::PollCycle::Failure::NoReply);
    ASSERT_TRUE(waitUntil([&] { return says("availability", "offline"); }));
    ASSERT_TRUE(refusedAfterCommand(QStringLiteral("relay/04/set")));
    for (const Line& line : lines) {
        if (line.text.contains(QStringLiteral("not responding"))) {
            EXPECT_EQ(line.level, BoardLink::Level::Warning);
        }
    }

    // Activated again: offline until the board echoes once more.
    rig.core.ActiveButtClick();
    link->check();
    EXPECT_FALSE(link->responding());
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    EXPECT_EQ(rig.core.poll().PortOut() & 0x0008, 0);

    // Stopping says offline first.
    link->stop();
    EXPECT_TRUE(waitUntil([&] { return says("availability", "offline"); }));
}

TEST_F(BoardLinkTest, EachConnectionRepublishesAvailability)
{
    makeLink();
    link->start();
    rig.activateAndCycle(1);
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    // Someone else overwrites the retained word; the next connection
    // restores it.
    watcher->publish(QStringLiteral("desk/availability"), "offline", true);
    ASSERT_TRUE(waitUntil([&] { return says("availability", "offline"); }));
    link->stop();
    link->start();
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
}

TEST_F(BoardLinkTest, ARetainedCommandActsOnlyAsItIsPublishedNeverOnAReconnect)
{
    makeLink();
    link->start();
    rig.activateAndCycle(1);
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    // Passed on as it is published: an event like any other.
    watcher->publish(QStringLiteral("desk/relay/03/set"), "ON", true);
    ASSERT_TRUE(cycleUntil([&] { return says("relay/03/state", "ON"); }));
    watcher->publish(QStringLiteral("desk/relay/03/set"), "OFF", false);
    ASSERT_TRUE(cycleUntil([&] { return says("relay/03/state", "OFF"); }));

    // The broker hands the kept ON out again with the new subscription.
    const QString line = QStringLiteral("ignored retained command on desk/relay/03/set");
    link->stop();
    link->start();
    ASSERT_TRUE(cycleUntil([&] { return count(line) == 1; }));
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    rig.cycle(4);
    EXPECT_EQ(rig.core.poll().PortOut() & 0x0004, 0);
    EXPECT_TRUE(says("relay/03/state", "OFF"));
    EXPECT_EQ(count(QStringLiteral("relay/03/set")), 1);
}

TEST_F(BoardLinkTest, CommandsReachTheRelayWordThroughTheOwnersOneWriter)
{
    QList<std::pair<quint16, quint16>> requests;
    rig.core.setRelayRequestHook([&](Controller::Source source, quint16 mask, quint16& word) {
        if (source == Controller::Source::Mqtt)
            requests.append({mask, word});
    });
    makeLink();
    link->start();
    rig.activateAndCycle(1);
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    // One relay sets one bit; the word sets them all.
    watcher->publish(QStringLiteral("desk/relay/05/set"), "ON", false);
    ASSERT_TRUE(cycleUntil([&] { return says("relay/05/state", "ON"); }));
    watcher->publish(QStringLiteral("desk/relays/set"), "00F1", false);
    ASSERT_TRUE(cycleUntil([&] { return says("relay/01/state", "ON"); }));
    watcher->publish(QStringLiteral("desk/relay/05/set"), "TOGGLE", false);
    ASSERT_TRUE(cycleUntil([&] { return says("relay/05/state", "OFF"); }));
    EXPECT_EQ(requests, (QList<std::pair<quint16, quint16>>{
                            {0x0010, 0x0010}, {0xFFFF, 0x00F1}, {0x0010, 0x00E1}}));
}

TEST_F(BoardLinkTest, AFloodOfRefusedCommandsIsToldOncePerSecondWithItsCount)
{
    makeLink();
    link->start();
    rig.activateAndCycle(1);
    ASSERT_TRUE(cycleUntil([&] { return says("availability", "online"); }));
    const auto flood = [&](int commands) {
        for (int i = 0; i < commands; ++i)
            watcher->publish(QStringLiteral("desk/relay/%1/set").arg(17 + i % 80), "ON", false);
        // Taken in order: once the relay is on, every refusal has come.
        watcher->publish(QStringLiteral("desk/relay/01/set"), "TOGGLE", false);
    };
    const auto refusals = [&] { return count(QStringLiteral("nothing changed")); };

    const int before = rig.core.poll().PortOut() & 1;
    flood(1000);
    ASSERT_TRUE(cycleUntil([&] { return (rig.core.poll().PortOut() & 1) != before; }));
    EXPECT_EQ(refusals(), 1);
    EXPECT_EQ(lines.last().text,
              QStringLiteral("MQTT desk/relay/17/set: no relay 17; nothing changed"));

    // A second on: the rest in one line, with the last of them.
    now += BoardLink::kRefusalPeriod - std::chrono::milliseconds(1);
    link->check();
    EXPECT_EQ(refusals(), 1);
    now += std::chrono::milliseconds(1);
    link->check();
    ASSERT_EQ(refusals(), 2);
    EXPECT_EQ(lines.last().text,
              QStringLiteral("MQTT desk/relay/56/set: no relay 56; nothing changed "
                             "(and 998 more refused in the last second)"));
    EXPECT_EQ(lines.last().level, BoardLink::Level::Warning);

    // Nothing held back in the next second; a refusal after it is told at once.
    now += BoardLink::kRefusalPeriod;
    link->check();
    flood(1);
    ASSERT_TRUE(cycleUntil([&] { return (rig.core.poll().PortOut() & 1) == before; }));
    EXPECT_EQ(refusals(), 3);
}

// What a reload compares: a link connects again only for other settings
// or another password in its password file.
TEST_F(BoardLinkTest, ConnectsAsTheSameSettingsAndThePasswordOfTheFile)
{
    QTemporaryDir folder;
    config.passwordFile = folder.filePath(QStringLiteral("password"));
    const auto writePassword = [&](const QByteArray& password) {
        QFile file(config.passwordFile);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
               file.write(password + "\n") > 0;
    };
    ASSERT_TRUE(writePassword("one"));
    makeLink();
    link->start();
    EXPECT_TRUE(link->connectsAs(config, QStringLiteral("desk-link"), QStringLiteral("desk")));
    EXPECT_FALSE(link->connectsAs(config, QStringLiteral("desk-link"), QStringLiteral("desk2")));
    EXPECT_FALSE(link->connectsAs(config, QStringLiteral("other"), QStringLiteral("desk")));
    network::MqttConfig changed = config;
    changed.discovery = true;
    EXPECT_FALSE(link->connectsAs(changed, QStringLiteral("desk-link"), QStringLiteral("desk")));
    ASSERT_TRUE(writePassword("two"));
    EXPECT_FALSE(link->connectsAs(config, QStringLiteral("desk-link"), QStringLiteral("desk")));
}

TEST_F(BoardLinkTest, AnUnreadablePasswordFileIsToldOncePerStartAndThePasswordNever)
{
    config.user = QStringLiteral("desk");
    config.password = QStringLiteral("s3cret-word");
    config.passwordFile = QStringLiteral("/nonexistent/mqtt-password");
    makeLink();
    const QString problem =
        QStringLiteral("cannot read the MQTT password file /nonexistent/mqtt-password: ");
    for (int start = 1; start <= 2; ++start) {
        link->start();
        ASSERT_TRUE(waitUntil([&] { return link->connected(); }));
        EXPECT_EQ(count(problem), start);
        link->stop();
    }
    for (const Line& line : lines) {
        EXPECT_FALSE(line.text.contains(config.password)) << line.text.toStdString();
        if (line.text.contains(problem)) {
            EXPECT_EQ(line.level, BoardLink::Level::Error);
        }
    }
}

} // namespace

namespace {

constexpr auto kRelay02 = "homeassistant/switch/qmxv217_desk/relay02/config";
constexpr auto kInput3 = "homeassistant/binary_sensor/qmxv217_desk/input3/config";
constexpr auto kEvent3 = "homeassistant/event/qmxv217_desk/input3/config";

QJsonObject json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

QStringList discoveryTopicsOf(const QHash<QString, QByteArray>& last)
{
    QStringList topics;
    for (auto it = last.cbegin(); it != last.cend(); ++it)
        if (it.key().startsWith(QStringLiteral("homeassistant/")) && !it.value().isEmpty())
            topics.append(it.key());
    topics.sort();
    return topics;
}

TEST_F(BoardLinkTest, WithoutSettingsDiscoveryIsTheSameAndANameChangeKeepsTheEntity)
{
    config.discovery = true;
    makeLink();
    // Settings that name nothing announce nothing new.
    link->setBoardSettings(safety::BoardSettings{});
    link->start();
    ASSERT_TRUE(waitUntil([&] { return discoveryTopicsOf(last).size() == 22; }));
    EXPECT_EQ(last.value(kRelay02),
              QByteArray(R"({"availability_topic":"desk/availability","command_topic":)"
                         R"("desk/relay/02/set","device":{"identifiers":["qmxv217_desk"],)"
                         R"("manufacturer":"QMX","model":"V217","name":"V217 relay board desk",)"
                         R"("sw_version":""},"name":"Relay 2","payload_off":"OFF",)"
                         R"("payload_on":"ON","state_topic":"desk/relay/02/state",)"
                         R"("unique_id":"qmxv217_desk_relay02"})"));
    EXPECT_EQ(last.value(kInput3),
              QByteArray(R"({"availability_topic":"desk/availability","device":)"
                         R"({"identifiers":["qmxv217_desk"],"manufacturer":"QMX","model":)"
                         R"("V217","name":"V217 relay board desk","sw_version":""},"name":)"
                         R"("Input 3","payload_off":"OFF","payload_on":"ON","state_topic":)"
                         R"("desk/input/3/state","unique_id":"qmxv217_desk_input3"})"));
    const QByteArray unnamedRelay02 = last.value(kRelay02);

    // Named: the same topics and ids, only the names differ, at once.
    safety::BoardSettings named;
    named.relayNames[1] = QStringLiteral("Pump");
    named.inputNames[2] = QStringLiteral("Float \"high\"");
    link->setBoardSettings(named);
    ASSERT_TRUE(waitUntil([&] {
        return json(last.value(kInput3)).value("name") == QStringLiteral("Float \"high\"");
    }));
    EXPECT_EQ(discoveryTopicsOf(last).size(), 22);
    EXPECT_EQ(
        QString::fromUtf8(last.value(kRelay02)),
        QString::fromUtf8(unnamedRelay02)
            .replace(QStringLiteral(R"("name":"Relay 2")"), QStringLiteral(R"("name":"Pump")")));
    EXPECT_EQ(json(last.value(kInput3)).value("unique_id"), QStringLiteral("qmxv217_desk_input3"));
    EXPECT_EQ(json(last.value("homeassistant/switch/qmxv217_desk/relay01/config")).value("name"),
              QStringLiteral("Relay 1"));

    // The same names again publish nothing; every connection keeps them.
    const int before = published.value(kRelay02);
    link->setBoardSettings(named);
    link->stop();
    link->start();
    ASSERT_TRUE(waitUntil([&] { return published.value(kRelay02) == before + 1; }));
    EXPECT_EQ(json(last.value(kRelay02)).value("name"), QStringLiteral("Pump"));
    EXPECT_FALSE(last.contains(kEvent3));
}

TEST_F(BoardLinkTest, InputEdgesArePressAndReleaseEventsOfAnnouncedEventEntities)
{
    config.discovery = true;
    config.inputEvents = true;
    makeLink();
    safety::BoardSettings named;
    named.inputNames[2] = QStringLiteral("Doorbell");
    link->setBoardSettings(named);
    link->start();
    ASSERT_TRUE(waitUntil([&] { return discoveryTopicsOf(last).size() == 28; }));
    const QJsonObject event = json(last.value(kEvent3));
    EXPECT_EQ(event.value("name"), QStringLiteral("Doorbell"));
    EXPECT_EQ(event.value("unique_id"), QStringLiteral("qmxv217_desk_input3_event"));
    EXPECT_EQ(event.value("state_topic"), QStringLiteral("desk/input/3/event"));
    EXPECT_EQ(event.value("event_types"),
              (QJsonArray{QStringLiteral("press"), QStringLiteral("release")}));
    EXPECT_EQ(event.value("availability_topic"), QStringLiteral("desk/availability"));
    EXPECT_EQ(event.value("device").toObject().value("identifiers"),
              QJsonArray{QStringLiteral("qmxv217_desk")});
    EXPECT_FALSE(event.contains("command_topic"));

    // The first read is a state, no edge.
    rig.link.inputDigits = "04";
    rig.activateAndCycle(1);
    ASSERT_TRUE(cycleUntil([&] { return says("input/3/state", "ON"); }));
    EXPECT_FALSE(last.contains(QStringLiteral("desk/input/3/event")));

    rig.link.inputDigits = "00";
    ASSERT_TRUE(cycleUntil([&] { return says("input/3/event", R"({"event_type":"release"})"); }));
    rig.link.inputDigits = "04";
    ASSERT_TRUE(cycleUntil([&] { return says("input/3/event", R"({"event_type":"press"})"); }));
    EXPECT_EQ(published.value(QStringLiteral("desk/input/3/event")), 2);
    EXPECT_FALSE(last.contains(QStringLiteral("desk/input/1/event")));

    // Not kept by the broker: a new subscriber gets the states, no event.
    network::MqttClient::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = broker.port();
    s.clientId = QStringLiteral("late");
    network::MqttClient late(s);
    QHash<QString, QByteArray> kept;
    late.setOnMessage(
        [&](const QString& topic, const QByteArray& payload) { kept[topic] = payload; });
    late.subscribe(QStringLiteral("desk/input/#"));
    late.start();
    ASSERT_TRUE(waitUntil([&] { return kept.size() >= 6; }));
    for (const QString& topic : kept.keys())
        EXPECT_TRUE(topic.endsWith(QStringLiteral("/state"))) << topic.toStdString();

    // What changed while the board was silent is no press.
    rig.link.autoReply = false;
    for (int i = 0; i < board::PollCycle::kWatchdogTicks; ++i)
        rig.tick();
    ASSERT_TRUE(waitUntil([&] { return says("availability", "offline"); }));
    link->check();
    rig.link.inputDigits = "00";
    rig.core.ActiveButtClick();
    ASSERT_TRUE(cycleUntil([&] { return says("input/3/state", "OFF"); }));
    rig.cycle(2);
    watcher->publish(QStringLiteral("desk/marker"), "1", false);
    ASSERT_TRUE(waitUntil([&] { return says("marker", "1"); }));
    EXPECT_EQ(published.value(QStringLiteral("desk/input/3/event")), 2);

    // Turned off: the event entities go, the binary sensors stay.
    link->clearInputEvents();
    ASSERT_TRUE(waitUntil([&] { return discoveryTopicsOf(last).size() == 22; }));
    EXPECT_TRUE(last.contains(kEvent3));
    EXPECT_FALSE(last.value(kInput3).isEmpty());
}

TEST_F(BoardLinkTest, HomeAssistantComingOnlineBringsDiscoveryAndTheStatesAgain)
{
    config.discovery = true;
    makeLink();
    link->start();
    rig.activateAndCycle(1);
    ASSERT_TRUE(cycleUntil([&] {
        return says("availability", "online") && says("relay/16/state", "OFF") &&
               says("input/6/state", "OFF") && discoveryTopicsOf(last).size() == 22;
    }));
    const QString relay16 = QStringLiteral("desk/relay/16/state");
    EXPECT_EQ(published.value(kRelay02), 1);
    EXPECT_EQ(published.value(relay16), 1);

    // Whatever a message on the status topic brought is out once a later
    // command has switched relay 01.
    const auto settled = [&](const QByteArray& relay01) {
        watcher->publish(QStringLiteral("desk/relay/01/set"), relay01, false);
        return cycleUntil([&] { return says("relay/01/state", relay01); });
    };
    // One the broker kept is no restart.
    watcher->publish(QStringLiteral("homeassistant/status"), "online", true);
    link->stop();
    link->start();
    ASSERT_TRUE(cycleUntil(
        [&] { return published.value(kRelay02) == 2 && published.value(relay16) == 2; }));
    ASSERT_TRUE(settled("ON"));
    EXPECT_EQ(published.value(kRelay02), 2);

    // Other words are none either; the live "online" after them is.
    const int availability = published.value(QStringLiteral("desk/availability"));
    watcher->publish(QStringLiteral("homeassistant/status"), "restarting", false);
    watcher->publish(QStringLiteral("homeassistant/status"), "online", false);
    ASSERT_TRUE(waitUntil([&] { return published.value(relay16) == 3; }));
    ASSERT_TRUE(settled("OFF"));
    EXPECT_EQ(published.value(kRelay02), 3);
    EXPECT_EQ(published.value("homeassistant/binary_sensor/qmxv217_desk/input6/config"), 3);
    EXPECT_EQ(published.value(QStringLiteral("desk/input/6/state")), 3);
    EXPECT_EQ(published.value(QStringLiteral("desk/availability")), availability + 1);
    EXPECT_TRUE(says("availability", "online"));
}

} // namespace

// The MQTT client against Debian's mosquitto: messages both ways, the will
// of a client that dies, a broker that goes away and comes back, and a
// refused login.
#include "../serial/waituntil.h"
#include "broker.h"
#include "network/mqttclient.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

using network::MqttClient;
using std::chrono::seconds;

struct Message
{
    QString topic;
    QByteArray payload;
};

// A client that keeps what it receives and what it logs.
struct Probe
{
    explicit Probe(MqttClient::Settings settings) : client(std::move(settings))
    {
        client.setOnConnected([this] { ++connections; });
        client.setOnMessage([this](const QString& topic, const QByteArray& payload) {
            messages.append({topic, payload});
        });
        client.setOnLog([this](bool, const QString& text) { logLines.append(text); });
    }
    [[nodiscard]] bool has(const QString& topic, const QByteArray& payload) const
    {
        return std::any_of(messages.begin(), messages.end(), [&](const Message& m) {
            return m.topic == topic && m.payload == payload;
        });
    }

    MqttClient client;
    QList<Message> messages;
    QStringList logLines;
    int connections = 0;
};

MqttClient::Settings on(const Broker& broker, const QString& id)
{
    MqttClient::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = broker.port();
    s.clientId = id;
    return s;
}

TEST(MqttClient, MessagesGoBothWaysAndRetainedOnesReachALaterSubscriber)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Probe a(on(broker, QStringLiteral("a")));
    Probe b(on(broker, QStringLiteral("b")));
    a.client.subscribe(QStringLiteral("t/a"));
    b.client.subscribe(QStringLiteral("t/#"));
    a.client.start();
    b.client.start();
    ASSERT_TRUE(waitUntil([&] { return a.connections == 1 && b.connections == 1; }))
        << broker.output().constData();
    // Not yet subscribed at connect: a retained message is given on subscribe.
    EXPECT_TRUE(a.client.publish(QStringLiteral("t/b"), "kept", true));
    EXPECT_TRUE(b.client.publish(QStringLiteral("t/a"), "hello", false));
    EXPECT_TRUE(waitUntil([&] { return a.has(QStringLiteral("t/a"), "hello"); }));
    EXPECT_TRUE(waitUntil([&] { return b.has(QStringLiteral("t/b"), "kept"); }));

    Probe late(on(broker, QStringLiteral("late")));
    late.client.subscribe(QStringLiteral("t/b"));
    late.client.start();
    EXPECT_TRUE(waitUntil([&] { return late.has(QStringLiteral("t/b"), "kept"); }));
}

TEST(MqttClient, WillIsPublishedOnlyWhenTheConnectionDies)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Probe watcher(on(broker, QStringLiteral("watcher")));
    watcher.client.subscribe(QStringLiteral("w/+"));
    watcher.client.start();
    ASSERT_TRUE(waitUntil([&] { return watcher.connections == 1; }));

    MqttClient::Settings clean = on(broker, QStringLiteral("clean"));
    clean.willTopic = QStringLiteral("w/clean");
    clean.willPayload = "offline";
    {
        Probe leaving(clean);
        leaving.client.start();
        ASSERT_TRUE(waitUntil([&] { return leaving.connections == 1; }));
        EXPECT_TRUE(leaving.client.publish(QStringLiteral("w/clean"), "online", false));
        ASSERT_TRUE(waitUntil([&] { return watcher.has(QStringLiteral("w/clean"), "online"); }));
    }
    // A second client with the same id takes over the session: the broker
    // drops the first one without a disconnect, as when a process dies.
    MqttClient::Settings dying = on(broker, QStringLiteral("dying"));
    dying.willTopic = QStringLiteral("w/dying");
    dying.willPayload = "offline";
    Probe first(dying);
    first.client.start();
    ASSERT_TRUE(waitUntil([&] { return first.connections == 1; }));
    dying.willTopic.clear();
    Probe second(dying);
    second.client.start();
    EXPECT_TRUE(waitUntil([&] { return watcher.has(QStringLiteral("w/dying"), "offline"); }));
    EXPECT_FALSE(watcher.has(QStringLiteral("w/clean"), "offline"));
}

TEST(MqttClient, ConnectsAgainWhenTheBrokerComesBack)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Probe probe(on(broker, QStringLiteral("again")));
    probe.client.subscribe(QStringLiteral("r"));
    probe.client.start();
    ASSERT_TRUE(waitUntil([&] { return probe.connections == 1; }));
    broker.stop();
    ASSERT_TRUE(waitUntil([&] { return !probe.client.connected(); }));
    EXPECT_FALSE(probe.client.publish(QStringLiteral("r"), "lost", false));
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(waitUntil([&] { return probe.connections == 2; }, seconds(15)))
        << probe.logLines.join(QLatin1Char('\n')).toStdString();
    // The subscription is made again.
    EXPECT_TRUE(probe.client.publish(QStringLiteral("r"), "back", false));
    EXPECT_TRUE(waitUntil([&] { return probe.has(QStringLiteral("r"), "back"); }));
}

TEST(MqttClient, WrongPasswordIsRefusedAndNeverLogged)
{
    QTemporaryDir folder;
    // User "v217" with password "right", hashed by the broker's own tool.
    const QString passwords = folder.filePath(QStringLiteral("passwords"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("/usr/bin/mosquitto_passwd"),
                                {"-c", "-b", passwords, "v217", "right"}),
              0);
    Broker broker({QStringLiteral("password_file ") + passwords});
    ASSERT_TRUE(broker.start());

    MqttClient::Settings s = on(broker, QStringLiteral("login"));
    s.user = QStringLiteral("v217");
    s.password = QStringLiteral("wrong-secret");
    Probe wrong(s);
    wrong.client.start();
    ASSERT_TRUE(waitUntil([&] {
        return wrong.logLines.join(QLatin1Char('\n')).contains(QStringLiteral("refused"));
    })) << wrong.logLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(wrong.connections, 0);
    EXPECT_FALSE(wrong.logLines.join(QLatin1Char('\n')).contains(QStringLiteral("secret")));

    s.password = QStringLiteral("right");
    Probe right(s);
    right.client.start();
    EXPECT_TRUE(waitUntil([&] { return right.connections == 1; }))
        << right.logLines.join(QLatin1Char('\n')).toStdString();
}

} // namespace

// The MQTT client against Debian's mosquitto: a broker that goes away and
// comes back, and a refused login. The service's tests carry the messages.
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

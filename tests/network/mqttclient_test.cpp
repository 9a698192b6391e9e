// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT client against Debian's mosquitto: a broker that goes away and
// comes back, a refused login, a host that takes the connection and never
// answers, and TLS with the right CA, another CA and a
// CA file that is not there; a slow name lookup and a broker that stops
// reading, neither of which stops the event loop. The service's tests
// carry the messages.
#include "network/mqttclient.h"
#include "slowresolver.h"
#include "tools/broker.h"
#include "tools/waituntil.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
        client.setOnLog([this](bool warning, const QString& text) {
            logLines.append(text);
            if (warning)
                warnings.append(text);
        });
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
    QStringList warnings;
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

namespace {

// A broker with a TLS listener whose certificate the CA "right" signed, and
// a second CA, "other", that signed nothing the broker shows.
struct TlsSetup
{
    TlsSetup()
        : right(folder.path(), QStringLiteral("right")),
          other(folder.path(), QStringLiteral("other"))
    {
    }
    [[nodiscard]] bool make()
    {
        if (!right.make() || !other.make())
            return false;
        const std::optional<Broker::Tls> tls = right.serverCertificate(QStringLiteral("broker"));
        if (!tls)
            return false;
        broker = std::make_unique<Broker>(QStringList{}, *tls);
        return broker->start();
    }
    [[nodiscard]] MqttClient::Settings settings(const QString& id, const QString& caFile) const
    {
        MqttClient::Settings s = on(*broker, id);
        s.caFile = caFile;
        return s;
    }

    QTemporaryDir folder;
    ThrowawayCa right;
    ThrowawayCa other;
    std::unique_ptr<Broker> broker;
};

TEST(MqttClient, TlsWithTheBrokersCaCarriesMessagesAndAnyOtherCaIsRefused)
{
    TlsSetup tls;
    ASSERT_TRUE(tls.make());

    Probe good(tls.settings(QStringLiteral("good"), tls.right.caFile()));
    good.client.subscribe(QStringLiteral("t"));
    good.client.start();
    ASSERT_TRUE(waitUntil([&] { return good.connections == 1; }, seconds(10)))
        << good.logLines.join(QLatin1Char('\n')).toStdString() << tls.broker->output().constData();
    EXPECT_TRUE(good.client.publish(QStringLiteral("t"), "over TLS", false));
    EXPECT_TRUE(waitUntil([&] { return good.has(QStringLiteral("t"), "over TLS"); }));

    // Refused at the handshake, told why, and tried again after 1 s, then 2 s.
    Probe stranger(tls.settings(QStringLiteral("stranger"), tls.other.caFile()));
    stranger.client.start();
    const auto refusals = [&] {
        return stranger.warnings.filter(QStringLiteral("certificate verify failed")).size();
    };
    ASSERT_TRUE(waitUntil([&] { return refusals() >= 2; }, seconds(10)))
        << stranger.logLines.join(QLatin1Char('\n')).toStdString();
    const QStringList refused = stranger.warnings.filter(QStringLiteral("verify failed"));
    EXPECT_TRUE(refused.at(0).endsWith(QStringLiteral("connecting again in 1 s")))
        << refused.at(0).toStdString();
    EXPECT_TRUE(refused.at(1).endsWith(QStringLiteral("connecting again in 2 s")))
        << refused.at(1).toStdString();
    EXPECT_EQ(stranger.connections, 0);
    EXPECT_FALSE(stranger.client.publish(QStringLiteral("t"), "refused", false));

    // TLS without a CA file checks against the system's CA certificates,
    // which never signed a throwaway CA's broker.
    MqttClient::Settings system = tls.settings(QStringLiteral("system"), QString());
    system.tls = true;
    Probe trusting(system);
    trusting.client.start();
    ASSERT_TRUE(waitUntil(
        [&] { return !trusting.warnings.filter(QStringLiteral("verify failed")).isEmpty(); },
        seconds(10)))
        << trusting.logLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(trusting.connections, 0);
    // The good client went on through all this.
    EXPECT_TRUE(good.client.connected());
}

TEST(MqttClient, MissingCaFileIsToldAndNeverFallsBackToPlainTcp)
{
    // A plain broker: a client that dropped TLS for want of the CA would get in.
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("no-such-ca.crt"));
    MqttClient::Settings s = on(broker, QStringLiteral("missing"));
    s.caFile = missing;
    Probe probe(s);
    probe.client.start();
    ASSERT_TRUE(waitUntil([&] { return probe.warnings.size() >= 2; }, seconds(10)));
    EXPECT_EQ(probe.warnings.at(0),
              QStringLiteral("cannot read the CA file %1: No such file or directory; "
                             "connecting again in 1 s")
                  .arg(missing));
    EXPECT_TRUE(probe.warnings.at(1).endsWith(QStringLiteral("connecting again in 2 s")))
        << probe.warnings.at(1).toStdString();
    EXPECT_EQ(probe.connections, 0);
}

// A host that takes TCP connections and never says a word (the kernel
// completes the handshake for a socket that listens and never accepts): each
// attempt ends after the answer time and is tried again with the backoff.
TEST(MqttClient, AHostThatNeverAnswersCountsAsLostAndIsTriedAgain)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    MqttClient::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = ntohs(address.sin_port);
    s.clientId = QStringLiteral("mute");
    s.answerTime = std::chrono::milliseconds(300);
    Probe probe(s);
    probe.client.start();
    EXPECT_TRUE(waitUntil([&] { return probe.warnings.size() >= 2; }, seconds(5)));
    ::close(listener);
    ASSERT_GE(probe.warnings.size(), 2);
    EXPECT_EQ(probe.warnings.at(0),
              QStringLiteral("no answer from the MQTT broker 127.0.0.1:%1 within 0.3 s; "
                             "connecting again in 1 s")
                  .arg(s.port));
    EXPECT_TRUE(probe.warnings.at(1).endsWith(QStringLiteral("connecting again in 2 s")))
        << probe.warnings.at(1).toStdString();
    EXPECT_EQ(probe.connections, 0);
}

} // namespace

namespace {

// A 10 ms timer and how often it has fired.
struct Ticker
{
    Ticker()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { ++ticks; });
        timer.start(std::chrono::milliseconds(10));
    }
    QTimer timer;
    int ticks = 0;
};

TEST(MqttClient, TheBrokersNameIsLookedUpWhileTheEventLoopGoesOn)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    slowresolver::hold("broker.slow.test");
    MqttClient::Settings s = on(broker, QStringLiteral("slow"));
    s.host = QStringLiteral("broker.slow.test");
    Ticker ticker;
    Probe probe(s);
    probe.client.start();
    ASSERT_TRUE(waitUntil([&] { return slowresolver::begun() == 1; }));
    const int from = ticker.ticks;
    EXPECT_TRUE(waitUntil([&] { return ticker.ticks >= from + 20 || slowresolver::waiting() == 0; },
                          seconds(2)));
    // The ticks came while the lookup was still waiting for its answer.
    EXPECT_EQ(slowresolver::waiting(), 1);
    EXPECT_FALSE(probe.client.connected());

    // A client that goes while its lookup waits leaves the rest to the lookup.
    MqttClient::Settings gone = s;
    gone.clientId = QStringLiteral("gone");
    auto leaving = std::make_unique<Probe>(gone);
    leaving->client.start();
    ASSERT_TRUE(waitUntil([&] { return slowresolver::waiting() == 2; }));
    leaving.reset();

    slowresolver::release();
    ASSERT_TRUE(waitUntil([&] { return probe.connections == 1; }))
        << probe.logLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(waitUntil([&] { return slowresolver::waiting() == 0; }));
}

TEST(MqttClient, ALookupOnItsOwnThreadStillHasTlsCheckTheBrokersName)
{
    TlsSetup tls;
    ASSERT_TRUE(tls.make());
    // The certificate names localhost and 127.0.0.1, not broker.slow.test,
    // although that name leads to the same broker.
    MqttClient::Settings named = tls.settings(QStringLiteral("named"), tls.right.caFile());
    named.host = QStringLiteral("localhost");
    MqttClient::Settings other = tls.settings(QStringLiteral("other"), tls.right.caFile());
    other.host = QStringLiteral("broker.slow.test");
    slowresolver::hold("localhost");
    Probe good(named);
    good.client.start();
    ASSERT_TRUE(waitUntil([&] { return slowresolver::waiting() == 1; }));
    slowresolver::release();
    ASSERT_TRUE(waitUntil([&] { return good.connections == 1; }, seconds(10)))
        << good.logLines.join(QLatin1Char('\n')).toStdString();

    Probe wrong(other);
    wrong.client.start();
    ASSERT_TRUE(waitUntil([&] { return !wrong.warnings.isEmpty(); }, seconds(10)));
    EXPECT_TRUE(wrong.warnings.first().contains(QStringLiteral("certificate verify failed")))
        << wrong.warnings.first().toStdString();
    EXPECT_EQ(wrong.connections, 0);
}

// A broker that stops reading while a client has much to send: the client
// destroyed in the event loop returns at once, and its messages leave from
// the loop when the broker reads again, neither dropped nor waited for.
TEST(MqttClient, ADestroyedClientsLastMessagesLeaveWithoutStoppingTheLoop)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Probe watcher(on(broker, QStringLiteral("watcher")));
    watcher.client.subscribe(QStringLiteral("t/last"));
    watcher.client.start();
    auto sender = std::make_unique<Probe>(on(broker, QStringLiteral("sender")));
    sender->client.start();
    ASSERT_TRUE(waitUntil([&] { return watcher.connections == 1 && sender->connections == 1; }));

    broker.pause();
    // Far more than the sockets of both ends hold.
    const QByteArray big(1024 * 1024, 'x');
    for (int i = 0; i < 24; ++i)
        ASSERT_TRUE(sender->client.publish(QStringLiteral("t/big"), big, false));
    ASSERT_TRUE(sender->client.publish(QStringLiteral("t/last"), "bye", false));

    Ticker ticker;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QObject::connect(&ticker.timer, &QTimer::timeout, &ticker.timer, [&] {
        if (sinceTick.isValid())
            longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.start();
    });
    QEventLoop loop;
    QTimer::singleShot(50, &loop, [&] {
        sender.reset();
        loop.quit();
    });
    loop.exec();
    const int from = ticker.ticks;
    ASSERT_TRUE(waitUntil([&] { return ticker.ticks >= from + 10; }));
    EXPECT_LT(longestGap, 500) << "the event loop stood still for " << longestGap << " ms";

    broker.resume();
    EXPECT_TRUE(
        waitUntil([&] { return watcher.has(QStringLiteral("t/last"), "bye"); }, seconds(10)));
}

} // namespace

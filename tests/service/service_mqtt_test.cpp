// qmxv217d with --mqtt against Debian's mosquitto and the board simulator:
// what the broker holds for the board as the board comes and goes.
#include "../network/broker.h"
#include "../serial/waituntil.h"
#include "common/textlines.h"
#include "network/mqttclient.h"
#include "serviceprocess.h"
#include "tools/simulatedboard.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

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
    watcher.setOnMessage(
        [&](const QString&, const QByteArray& payload) { availability = payload; });
    watcher.subscribe(QStringLiteral("qmxv217/tank/availability"));
    watcher.start();

    ServiceProcess service(configHome.path(), stateHome.path());
    service.start({"--name", "tank", "--port", "4", "--project", project, "--mqtt",
                   QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())});
    ASSERT_TRUE(waitUntil([&] { return availability == "online"; }, seconds(10)))
        << service.log() << broker.output().constData();

    sim.command("silent on");
    ASSERT_TRUE(waitUntil([&] { return availability == "offline"; }, seconds(10))) << service.log();
    sim.command("silent off");
    ASSERT_TRUE(waitUntil([&] { return availability == "online"; }, seconds(15))) << service.log();

    service.signal(SIGKILL);
    EXPECT_TRUE(waitUntil([&] { return availability == "offline"; }, seconds(60)))
        << broker.output().constData();
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d's web panel on its real HTTP server against the board simulator:
// every endpoint and every refusal, the password and Origin checks, the
// refusal while the board is silent, the metrics following the board, the
// pages' WebSocket, the connection limit and what start refuses.
#include "common/daynumber.h"
#include "common/textlines.h"
#include "httpclient.h"
#include "serviceprocess.h"
#include "timers/chantimer.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using std::chrono::seconds;

quint16 freePort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

// The value of one sample of the metrics, nothing when it is not there.
std::optional<double> sample(const QByteArray& metrics, const QString& series)
{
    for (const QByteArray& line : metrics.split('\n')) {
        if (line.startsWith(series.toUtf8() + ' '))
            return line.mid(series.size() + 1).toDouble();
    }
    return std::nullopt;
}

class WebPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim = std::make_unique<SimulatedBoard>(configHome.path(), 4, QStringLiteral(V217_BOARDSIM));
        sim->keepEvents();
        ASSERT_TRUE(sim->start());
    }

    // A project with the rule of relay 1 following input 1, and a record
    // that holds relay 2 on all today.
    QString project()
    {
        const double today = DateTimeToDayNumber(QDateTime::currentDateTime());
        QStringList lines{"0", "0", "0", "[t]"};
        lines += chantimer::MakeRecord("02", today - 1, today + 1, "0", "0", "0000000",
                                       QLatin1Char('.'));
        lines += QStringList{"[r]", "1H=01H"};
        const QString path = work.filePath("tank.iom");
        WriteTextLines(path, lines);
        return path;
    }
    QString passwordFile(QFile::Permissions permissions)
    {
        const QString path = work.filePath("http.pass");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("s3cret\n");
        file.close();
        EXPECT_TRUE(file.setPermissions(permissions));
        return path;
    }
    // Starts the service on the simulated board with the panel on a free
    // port, and waits until the board responds.
    void startService(const QStringList& extra = {})
    {
        port = freePort();
        client = std::make_unique<HttpClient>(port);
        service.start(QStringList{"--port", "4", "--project", project(), "--name", "tank",
                                  "--timers", "off", "--http",
                                  QStringLiteral("127.0.0.1:%1").arg(port)} +
                      extra);
        ASSERT_GE(service.waitForLine("web panel at"), 0) << service.log();
        ASSERT_TRUE(sim->waitFor("rx", "I0", 10000)) << service.log();
        ASSERT_TRUE(waitUntil(
            [&] {
                return client->get("/api/v1/boards/tank", auth).json()["availability"] ==
                       QStringLiteral("online");
            },
            seconds(5)))
            << service.log();
    }
    QByteArray metrics() { return client->get("/metrics", auth).body; }
    QString origin() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

    QTemporaryDir work;
    QTemporaryDir configHome;
    QTemporaryDir stateHome;
    std::unique_ptr<SimulatedBoard> sim;
    ServiceProcess service{configHome.path(), stateHome.path()};
    quint16 port = 0;
    std::unique_ptr<HttpClient> client;
    HttpClient::Headers auth;
};

TEST_F(WebPanel, TheApiListsTheBoardAndSwitchesRelaysOnTheWire)
{
    startService({"--relay-05-name", "Pump", "--input-4-name", "Float switch"});
    const HttpClient::Reply list = client->get("/api/v1/boards");
    ASSERT_EQ(list.status, 200);
    EXPECT_EQ(list.header("Content-Type"), "application/json");
    const QJsonObject tank = list.json().array().at(0).toObject();
    EXPECT_EQ(tank["name"], "tank");
    EXPECT_EQ(tank["relays"], "0000");
    EXPECT_EQ(tank["inputs"], "00");
    EXPECT_EQ(tank["timers"], false);
    EXPECT_EQ(tank["rules"], true);
    EXPECT_EQ(tank["state"], "running");

    const qsizetype from = sim->events().size();
    HttpClient::Reply on = client->post("/api/v1/boards/tank/relays/05", "ON");
    EXPECT_EQ(on.status, 200);
    EXPECT_EQ(on.json()["relays"], "0010");
    EXPECT_TRUE(sim->waitFor("rx", "R0010\\r", 5000)) << sim->log();
    EXPECT_EQ(client->post("/api/v1/boards/tank/relays/05", "TOGGLE").json()["relays"], "0000");
    // Relay 1 is the rule's (input 1 is low): the word asks the others.
    EXPECT_EQ(client->post("/api/v1/boards/tank/relays", "0006").json()["relays"], "0006");
    EXPECT_TRUE(sim->waitFor("rx", "R0006\\r", 5000)) << sim->log();
    EXPECT_TRUE(sim->commands(from).contains("R0010\\r"));
    // A page of the panel's own host may switch too.
    EXPECT_EQ(client->post("/api/v1/boards/tank/relays/04", "on", {{"Origin", origin().toUtf8()}})
                  .json()["relays"],
              "000E");

    const QJsonObject details = client->get("/api/v1/boards/tank").json().object();
    const QJsonArray relayNames = details["relay_names"].toArray();
    ASSERT_EQ(relayNames.size(), 16);
    EXPECT_EQ(relayNames.at(4), "Pump");
    EXPECT_EQ(relayNames.at(0), "");
    const QJsonArray inputNames = details["input_names"].toArray();
    ASSERT_EQ(inputNames.size(), 6);
    EXPECT_EQ(inputNames.at(3), "Float switch");
    EXPECT_FALSE(details["messages"].toArray().isEmpty());

    // The trace takes the word at the next step of the poll cycle.
    EXPECT_TRUE(waitUntil([&] {
        const QJsonArray points =
            client->get("/api/v1/boards/tank/trace").json()["points"].toArray();
        return !points.isEmpty() && points.last()["relays"] == QStringLiteral("000E");
    }));
}

TEST_F(WebPanel, ASwitchHeldOffByAnInterlockIsAnsweredWithTheReason)
{
    startService({"--interlock=05,06", "--relay-05-name", "Pump"});
    const HttpClient::Reply pump = client->post("/api/v1/boards/tank/relays/05", "ON");
    EXPECT_EQ(pump.json()["relays"], "0010");
    EXPECT_EQ(pump.json()["messages"].toArray(), QJsonArray());
    const HttpClient::Reply held = client->post("/api/v1/boards/tank/relays/06", "ON");
    EXPECT_EQ(held.status, 200);
    EXPECT_EQ(held.json()["relays"], "0010");
    EXPECT_EQ(held.json()["messages"].toArray(),
              QJsonArray{"relay 06 held off: interlock with 05 (Pump)"});
    const qsizetype from = sim->events().size();
    ASSERT_TRUE(sim->waitFor("rx", "I0\\r", 5000));
    ASSERT_TRUE(sim->waitFor("rx", "R0010\\r", 5000));
    ASSERT_FALSE(sim->commands(from).isEmpty());
    for (const QByteArray& command : sim->commands(from))
        EXPECT_FALSE(command.startsWith("R") && (command.mid(1, 4).toInt(nullptr, 16) & 0x20))
            << command.toStdString();
}

TEST_F(WebPanel, EachWrongRequestGetsItsStatusAndReason)
{
    startService();
    struct Row
    {
        const char* method;
        QString path;
        QByteArray body;
        int status;
        const char* error;
    };
    const QList<Row> rows{
        {"POST", "/api/v1/boards/tank/relays/05", "MAYBE", 400,
         "the body is not ON, OFF or TOGGLE"},
        {"POST", "/api/v1/boards/tank/relays", "12345", 400,
         "the body is not four hex digits (0010)"},
        {"GET",
         "/api/v1/boards/tank/schedule?from=2026-13-01",
         {},
         400,
         "from is no date (YYYY-MM-DD)"},
        {"GET", "/api/v1/boards/tank/schedule?days=0", {}, 400, "days is not 1 to 366"},
        {"GET", "/api/v1/boards/nope", {}, 404, "no board named 'nope'"},
        {"POST", "/api/v1/boards/nope/relays/05", "ON", 404, "no board named 'nope'"},
        {"POST", "/api/v1/boards/tank/relays/17", "ON", 404,
         "no such relay: the relays are 01 to 16"},
        {"GET", "/nothing", {}, 404, "no such resource: /nothing"},
        {"GET",
         "/api/v1/boards/tank/relays/05",
         {},
         405,
         "/api/v1/boards/tank/relays/05 does not take GET"},
        {"POST", "/api/v1/boards/tank/relays/05", QByteArray(5000, 'x'), 413,
         "the body is longer than 4096 bytes"},
    };
    for (const Row& row : rows) {
        const HttpClient::Reply reply = QByteArray(row.method) == "GET"
                                            ? client->get(row.path)
                                            : client->post(row.path, row.body);
        EXPECT_EQ(reply.status, row.status) << row.path.toStdString();
        EXPECT_EQ(reply.json()["error"], QString::fromUtf8(row.error)) << row.path.toStdString();
    }
    const HttpClient::Reply foreign =
        client->post("/api/v1/boards/tank/relays/05", "ON", {{"Origin", "http://evil.example"}});
    EXPECT_EQ(foreign.status, 403);
    EXPECT_EQ(foreign.json()["error"], "the request comes from another site's page");
    EXPECT_FALSE(sim->commands().contains("R0010\\r"));
}

TEST_F(WebPanel, TheScheduleAndThePagesComeFromTheService)
{
    startService();
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QJsonObject schedule =
        client->get("/api/v1/boards/tank/schedule?from=" + today + "&days=2").json().object();
    EXPECT_EQ(schedule["from"], today);
    EXPECT_EQ(schedule["days"], 2);
    const QJsonArray relays = schedule["relays"].toArray();
    ASSERT_EQ(relays.size(), 1) << QJsonDocument(schedule).toJson().toStdString();
    EXPECT_EQ(relays.at(0)["relay"], 2);
    EXPECT_EQ(schedule["records"].toArray().at(0)["record"], 0);

    const HttpClient::Reply list = client->get("/");
    EXPECT_EQ(list.status, 200);
    EXPECT_TRUE(list.header("Content-Type").startsWith("text/html"));
    EXPECT_TRUE(list.body.contains("<title>QMX V217 boards</title>"));
    EXPECT_TRUE(client->get("/board/tank").body.contains("id=\"relays\""));
    EXPECT_EQ(client->get("/board/nope").status, 404);
    const HttpClient::Reply script = client->get("/assets/panel.js");
    EXPECT_EQ(script.status, 200);
    EXPECT_TRUE(script.header("Content-Type").startsWith("text/javascript"));
    // Nothing from elsewhere: every script and style is the service's own.
    EXPECT_EQ(script.header("Content-Security-Policy").left(20), "default-src 'self'; ");
    for (const char* page : {"/", "/board/tank"})
        EXPECT_FALSE(client->get(page).body.contains("//")) << page;
}

TEST_F(WebPanel, ASilentBoardRefusesSwitchesAndTheMetricsFollowIt)
{
    startService();
    ASSERT_TRUE(sim->commandAndWait("inputs 9"));
    ASSERT_TRUE(waitUntil(
        [&] { return sample(metrics(), R"(qmxv217_input_high{board="tank",input="4"})") == 1; }));
    QByteArray m = metrics();
    EXPECT_EQ(sample(m, R"(qmxv217_input_high{board="tank",input="1"})"), 1);
    EXPECT_EQ(sample(m, R"(qmxv217_input_high{board="tank",input="2"})"), 0);
    // Relay 1 follows input 1 by the project's rule.
    EXPECT_EQ(sample(m, R"(qmxv217_relay_on{board="tank",relay="01"})"), 1);
    EXPECT_EQ(sample(m, R"(qmxv217_board_up{board="tank"})"), 1);
    EXPECT_GT(*sample(m, R"(qmxv217_poll_cycles_total{board="tank"})"), 0);
    EXPECT_EQ(sample(m, R"(qmxv217_faults_total{board="tank",kind="silence"})"), 0);
    EXPECT_TRUE(m.contains("# TYPE qmxv217_late_cycles_total counter"));
    EXPECT_FALSE(m.contains("qmxv217_mqtt_connected{")) << "the board has no MQTT";

    ASSERT_TRUE(sim->commandAndWait("silent on"));
    ASSERT_GE(service.waitForLine("The board is not responding."), 0) << service.log();
    const HttpClient::Reply refused = client->post("/api/v1/boards/tank/relays/05", "ON");
    EXPECT_EQ(refused.status, 409);
    // The fault, and what the service does about it by then.
    EXPECT_TRUE(
        refused.json()["error"].toString().startsWith("board 'tank' is not responding (no answer"))
        << refused.body.toStdString();
    EXPECT_EQ(client->post("/api/v1/boards/tank/relays", "FFFF").status, 409);
    m = metrics();
    EXPECT_EQ(sample(m, R"(qmxv217_board_up{board="tank"})"), 0);
    EXPECT_EQ(sample(m, R"(qmxv217_faults_total{board="tank",kind="silence"})"), 1);
    EXPECT_EQ(sample(m, R"(qmxv217_recoveries_total{board="tank"})"), 0);
    const QJsonObject offline = client->get("/api/v1/boards").json().array().at(0).toObject();
    EXPECT_EQ(offline["availability"], "offline");
    EXPECT_EQ(offline["last_fault"], "silence");

    ASSERT_TRUE(sim->commandAndWait("silent off"));
    ASSERT_TRUE(waitUntil(
        [&] { return sample(metrics(), R"(qmxv217_board_up{board="tank"})") == 1; }, seconds(10)))
        << service.log();
    m = metrics();
    EXPECT_EQ(sample(m, R"(qmxv217_recoveries_total{board="tank"})"), 1);
    EXPECT_EQ(client->post("/api/v1/boards/tank/relays/05", "ON").status, 200);
    EXPECT_FALSE(sim->commands().contains("R0010\\r")) << "a refused switch acted later";
    EXPECT_FALSE(sim->commands().contains("RFFFF\\r")) << "a refused switch acted later";

    // Unplugged, and back on a new terminal under the same link.
    ASSERT_TRUE(sim->commandAndWait("hangup"));
    ASSERT_TRUE(waitUntil(
        [&] {
            return sample(metrics(), R"(qmxv217_faults_total{board="tank",kind="hangup"})") == 1;
        },
        seconds(10)))
        << service.log();
    EXPECT_EQ(sample(metrics(), R"(qmxv217_board_up{board="tank"})"), 0);
    ASSERT_TRUE(sim->commandAndWait("relink", "ready"));
    ASSERT_TRUE(waitUntil(
        [&] { return sample(metrics(), R"(qmxv217_recoveries_total{board="tank"})") == 2; },
        seconds(10)))
        << service.log();
}

TEST_F(WebPanel, ThePagesWebSocketTellsEachChangeAndRefusesOtherSites)
{
    startService();
    QWebSocket page(origin());
    QList<QJsonObject> messages;
    QObject::connect(&page, &QWebSocket::textMessageReceived, &page, [&](const QString& text) {
        messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/boards/tank/events").arg(port)));
    // The list's page is told of the same change, every board's summary at once.
    QWebSocket listPage(origin());
    QList<QJsonArray> lists;
    QObject::connect(
        &listPage, &QWebSocket::textMessageReceived, &listPage,
        [&](const QString& text) { lists.append(QJsonDocument::fromJson(text.toUtf8()).array()); });
    listPage.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/events").arg(port)));
    ASSERT_TRUE(waitUntil([&] { return !messages.isEmpty() && !lists.isEmpty(); }))
        << page.errorString().toStdString() << listPage.errorString().toStdString();
    EXPECT_EQ(messages.first()["inputs"], "00");
    ASSERT_EQ(lists.first().size(), 1);
    EXPECT_EQ(lists.first()[0].toObject()["name"], "tank");
    EXPECT_EQ(lists.first()[0].toObject()["inputs"], "00");
    ASSERT_TRUE(sim->commandAndWait("inputs 9"));
    EXPECT_TRUE(waitUntil([&] { return messages.last()["inputs"] == QStringLiteral("09"); }));
    EXPECT_TRUE(
        waitUntil([&] { return lists.last()[0].toObject()["inputs"] == QStringLiteral("09"); }));

    QWebSocket foreign(QStringLiteral("http://evil.example"));
    bool told = false;
    bool cut = false;
    QObject::connect(&foreign, &QWebSocket::textMessageReceived, &foreign,
                     [&](const QString&) { told = true; });
    QObject::connect(&foreign, &QWebSocket::disconnected, &foreign, [&] { cut = true; });
    foreign.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/boards/tank/events").arg(port)));
    EXPECT_TRUE(waitUntil([&] { return cut; }));
    EXPECT_FALSE(told);
    EXPECT_EQ(client->get("/api/v1/boards/tank/events").status, 400);
    EXPECT_EQ(client->get("/api/v1/events").status, 400);
}

TEST_F(WebPanel, APasswordGuardsTheApiAndThePagesAndWrongOnesWait)
{
    auth = {{"Authorization", "Bearer s3cret"}};
    startService({"--http-password-file", passwordFile(QFile::ReadOwner | QFile::WriteOwner)});
    HttpClient::Reply reply = client->get("/api/v1/boards");
    EXPECT_EQ(reply.status, 401);
    EXPECT_EQ(reply.header("WWW-Authenticate"), "Bearer realm=\"qmxv217d\"");
    EXPECT_EQ(client->get("/metrics").status, 401);
    EXPECT_EQ(client->post("/api/v1/boards/tank/relays/05", "ON").status, 401);
    EXPECT_EQ(client->get("/api/v1/boards", {{"Authorization", "Bearer s3cre"}}).status, 401);
    EXPECT_EQ(client->get("/api/v1/boards", {{"Authorization", "Bearer s3cret"}}).status, 200);
    EXPECT_EQ(
        client->post("/api/v1/boards/tank/relays/05", "ON", {{"Authorization", "Bearer s3cret"}})
            .status,
        200);
    EXPECT_TRUE(client->get("/").body.contains("type=\"password\""));
    EXPECT_FALSE(service.log().find("s3cret") != std::string::npos) << "the password was logged";

    const HttpClient::Reply login = client->post("/api/v1/login", "s3cret");
    EXPECT_EQ(login.status, 200);
    const QByteArray cookie = login.header("Set-Cookie");
    EXPECT_TRUE(cookie.contains("; HttpOnly")) << cookie.toStdString();
    EXPECT_TRUE(cookie.contains("; SameSite=Strict")) << cookie.toStdString();
    const QByteArray session = cookie.left(cookie.indexOf(';'));
    EXPECT_TRUE(client->get("/", {{"Cookie", session}}).body.contains("QMX V217 boards"));
    const HttpClient::Reply withSession = client->get("/api/v1/boards/tank", {{"Cookie", session}});
    EXPECT_EQ(withSession.status, 200) << withSession.body.toStdString();
    EXPECT_EQ(client->get("/api/v1/boards/tank", {{"Cookie", "qmxv217_session=forged"}}).status,
              401);

    EXPECT_EQ(client->post("/api/v1/login", "guess").status, 401);
    // Right or wrong, the next try from that address waits.
    const HttpClient::Reply paused = client->post("/api/v1/login", "s3cret");
    EXPECT_EQ(paused.status, 429);
    EXPECT_EQ(paused.header("Retry-After"), "1");
}

TEST_F(WebPanel, TheServerTakesNoMoreThanItsConnections)
{
    startService();
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    int cut = 0;
    for (int i = 0; i < 65; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        QObject::connect(sockets.back().get(), &QTcpSocket::disconnected, sockets.back().get(),
                         [&] { ++cut; });
        sockets.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    // The test's own client may hold a connection or two besides.
    EXPECT_TRUE(waitUntil([&] { return cut >= 1; }));
    EXPECT_GE(65 - cut, 60) << "more were cut than the limit asks";
    sockets.clear();
    // The panel serves again once they are gone.
    EXPECT_TRUE(waitUntil([&] { return client->get("/api/v1/boards").status == 200; }));
}

TEST_F(WebPanel, AReloadShowsTheNewBoardsAndSaysANewAddressNeedsARestart)
{
    port = freePort();
    client = std::make_unique<HttpClient>(port);
    const QString conf = work.filePath("qmxv217d.conf");
    const QString tank = QStringLiteral("[tank]\nport = 4\nproject = %1\ntimers = ").arg(project());
    const auto writeConf = [&](quint16 http, const QString& boards) {
        WriteTextLines(conf, QStringList{QStringLiteral("http = 127.0.0.1:%1").arg(http)} +
                                 boards.split(u'\n'));
    };
    writeConf(port, tank + "on");
    service.start({"--config", conf});
    ASSERT_GE(service.waitForLine("web panel at"), 0) << service.log();
    const auto names = [&] {
        QStringList list;
        for (const QJsonValue& board : client->get("/api/v1/boards").json().array())
            list.append(board["name"].toString());
        return list;
    };
    ASSERT_TRUE(waitUntil([&] { return names() == QStringList{"tank"}; })) << service.log();

    // A new board and a new address: the board is shown at the old address.
    qsizetype mark = service.lines().size();
    writeConf(freePort(), tank + "off\n[pump]\nport = 5\nproject = " + project());
    service.signal(SIGHUP);
    ASSERT_GE(service.waitForLine(QStringLiteral("%1: the web panel's http and "
                                                 "http-password-file are read at start only; "
                                                 "restart qmxv217d to use them")
                                      .arg(conf),
                                  mark),
              0)
        << service.log();
    EXPECT_TRUE(waitUntil([&] { return names() == QStringList{"tank", "pump"}; })) << service.log();

    // A reload that leaves the panel's settings as they run says nothing of
    // them; the record that holds relay 02 on shows the reload was taken.
    mark = service.lines().size();
    writeConf(port, tank + "on");
    service.signal(SIGHUP);
    ASSERT_TRUE(sim->waitFor("rx", "R0002", 10000)) << service.log();
    for (qsizetype i = mark; i < service.lines().size(); ++i)
        EXPECT_FALSE(service.lines().at(i).text.contains("read at start only")) << service.log();
}

TEST(WebPanelStart, AnAddressBeyondLoopbackWantsAPrivatePassword)
{
    QTemporaryDir work;
    const QString project = work.filePath("p.iom");
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
    const QString pass = work.filePath("http.pass");
    QFile file(pass);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("s3cret\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const quint16 port = freePort();
    const QString open = QStringLiteral("0.0.0.0:%1").arg(port);
    struct Row
    {
        QStringList arguments;
        QString line;
    };
    const QList<Row> rows{
        {{"--http", open},
         QStringLiteral("qmxv217d: http %1 is reachable from other machines: give "
                        "http-password-file, or listen on 127.0.0.1")
             .arg(open)},
        {{"--http", open, "--http-password-file", pass},
         QStringLiteral("qmxv217d: the HTTP password file %1 is open to other users (mode 0604); "
                        "it is not used: chmod 600 %1")
             .arg(pass)},
    };
    for (const Row& row : rows) {
        ServiceProcess service(work.path(), work.path());
        service.start(QStringList{"--port", "4", "--project", project} + row.arguments);
        ASSERT_TRUE(service.waitForExit());
        EXPECT_EQ(service.exitCode(), 2);
        ASSERT_EQ(service.lines().size(), 1) << service.log();
        EXPECT_EQ(service.lines().first().text, row.line);
    }
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    ServiceProcess service(work.path(), work.path());
    service.start({"--port", "4", "--project", project, "--http",
                   QStringLiteral("127.0.0.1:%1").arg(taken.serverPort())});
    ASSERT_TRUE(service.waitForExit());
    EXPECT_EQ(service.exitCode(), 2);
    ASSERT_EQ(service.lines().size(), 1) << service.log();
    EXPECT_TRUE(
        service.lines().first().text.startsWith("qmxv217d: cannot listen at http 127.0.0.1:"))
        << service.log();
}

} // namespace

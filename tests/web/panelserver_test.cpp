// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's server in this process: clients that hold a connection
// without finishing a request, trickle one or send too much are cut at the
// limits (made short here, so that each wait is for the cut itself), HEAD
// keeps a connection in step, and a switch from the panel reaches the
// controller as the web's own request.
#include "support/rig.h"
#include "tools/waituntil.h"
#include "web/panelserver.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

using std::chrono::milliseconds;

class PanelLimits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        limits.requestTime = milliseconds(400);
        limits.idleTime = milliseconds(250);
        limits.maxRequestBytes = 8 * 1024;
        // Port 0: the system picks a free one.
        web::HttpConfig http;
        http.address = QHostAddress(QHostAddress::LocalHost);
        ASSERT_EQ(server.start(http, limits), QString());
    }
    // A client connected to the panel; `cut` is set when the server closes it.
    std::unique_ptr<QTcpSocket> connectClient()
    {
        auto socket = std::make_unique<QTcpSocket>();
        QObject::connect(socket.get(), &QTcpSocket::disconnected, [this] { cut = true; });
        socket->connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(socket->waitForConnected(5000));
        connected.start();
        return socket;
    }

    web::ConnectionLimits limits;
    web::PanelServer server{QString()};
    bool cut = false;
    QElapsedTimer connected;
};

TEST_F(PanelLimits, AConnectionThatSendsNothingIsCutWhenIdle)
{
    const auto socket = connectClient();
    ASSERT_TRUE(waitUntil([&] { return cut; }, std::chrono::seconds(5)));
    EXPECT_GE(connected.elapsed(), limits.idleTime.count() - 20);
}

TEST_F(PanelLimits, ARequestTrickledByteByByteIsCutAtTheRequestTime)
{
    const auto socket = connectClient();
    // One byte every 50 ms keeps the connection from being idle; the
    // request itself never ends.
    const QByteArray request =
        "GET /api/v1/boards HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + QByteArray(1000, 'x');
    qsizetype sent = 0;
    QTimer trickle;
    QObject::connect(&trickle, &QTimer::timeout, [&] {
        if (sent < request.size() && socket->state() == QTcpSocket::ConnectedState)
            socket->write(request.mid(sent++, 1));
    });
    trickle.start(50);
    ASSERT_TRUE(waitUntil([&] { return cut; }, std::chrono::seconds(5)));
    EXPECT_GE(connected.elapsed(), limits.requestTime.count() - 20);
    EXPECT_LT(sent, request.size()) << "the trickle ended before the cut";
}

TEST_F(PanelLimits, ARequestLargerThanTheLimitIsCutAndAWholeOneAnswered)
{
    const auto greedy = connectClient();
    greedy->write("POST /api/v1/login HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " +
                  QByteArray(2 * limits.maxRequestBytes, 'x'));
    ASSERT_TRUE(waitUntil([&] { return cut; }, std::chrono::seconds(5)));
    EXPECT_LT(connected.elapsed(), limits.requestTime.count())
        << "cut by the time, not by its size";

    cut = false;
    const auto polite = connectClient();
    polite->write("GET /api/v1/boards HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    ASSERT_TRUE(waitUntil(
        [&] {
            answer += polite->readAll();
            return answer.contains("[]");
        },
        std::chrono::seconds(5)))
        << answer.toStdString();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.toStdString();
    EXPECT_FALSE(cut);
    // Answered, the connection is kept until it has been idle for the limit.
    ASSERT_TRUE(waitUntil([&] { return cut; }, std::chrono::seconds(5)));
}

TEST_F(PanelLimits, HeadIsAnsweredWithTheHeadersOfGetAndNoBody)
{
    const auto socket = connectClient();
    QByteArray answer;
    const auto ask = [&](const QByteArray& method, const QByteArray& until) {
        answer.clear();
        socket->write(method + " /api/v1/boards HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        return waitUntil([&] {
            answer += socket->readAll();
            return answer.contains(until);
        });
    };
    ASSERT_TRUE(ask("HEAD", "\r\n\r\n")) << answer.toStdString();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.toStdString();
    EXPECT_TRUE(answer.contains("Content-Length: 2\r\n")) << answer.toStdString();
    EXPECT_TRUE(answer.endsWith("\r\n\r\n")) << "a body after the headers";
    // The same connection goes on with the next request's reply, not with
    // a body left over.
    ASSERT_TRUE(ask("GET", "[]")) << answer.toStdString();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.toStdString();
    EXPECT_TRUE(answer.endsWith("\r\n\r\n[]")) << answer.toStdString();
}

TEST(PanelSwitches, ARelaySwitchedFromThePanelIsTheWebsRequest)
{
    Rig rig;
    rig.startUp();
    rig.activateAndCycle(2);
    std::vector<std::pair<Controller::Source, quint16>> asked;
    rig.core.setRelayRequestHook([&](Controller::Source source, quint16 mask, quint16&) {
        asked.emplace_back(source, mask);
    });
    web::BoardWatch board(web::BoardHandle{QStringLiteral("tank"),
                                           &rig.core,
                                           [] { return QStringLiteral("running"); },
                                           [] { return true; },
                                           {},
                                           {},
                                           [](int) { return QString(); },
                                           [](int) { return QString(); }},
                          [](web::BoardWatch*) {});
    rig.cycle(1);
    ASSERT_TRUE(board.responding());
    web::Api api([&] { return QList<web::BoardWatch*>{&board}; }, QString());
    web::Request request;
    request.method = "POST";
    request.path = QStringLiteral("/api/v1/boards/tank/relays/05");
    request.body = "ON";
    EXPECT_EQ(api.handle(request).status, 200);
    request.path = QStringLiteral("/api/v1/boards/tank/relays");
    request.body = "0003";
    EXPECT_EQ(api.handle(request).status, 200);
    using Source = Controller::Source;
    const std::vector<std::pair<Source, quint16>> expected{{Source::Web, 0x0010},
                                                           {Source::Web, 0xFFFF}};
    EXPECT_EQ(asked, expected);
}

TEST(PanelSwitches, ARefusalSaysWhyTheBoardDoesNotRespond)
{
    Rig rig;
    rig.startUp();
    QString state = QStringLiteral("retrying");
    web::BoardWatch board(web::BoardHandle{QStringLiteral("tank"),
                                           &rig.core,
                                           [&] { return state; },
                                           [&] { return state == QStringLiteral("running"); },
                                           {},
                                           {},
                                           [](int) { return QString(); },
                                           [](int) { return QString(); }},
                          [](web::BoardWatch*) {});
    EXPECT_EQ(board.refusal(), "board 'tank' is not responding (retrying)");
    state = QStringLiteral("running");
    board.sample();
    EXPECT_EQ(board.refusal(), "board 'tank' is not responding (no answer yet)");
    rig.activateAndCycle(2);
    EXPECT_EQ(board.refusal(), QString());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The web panel's own language: which path names what, the bodies a relay
// takes, the panel's settings in the configuration and on the command line,
// and when they are refused.
#include "service/serviceconfig.h"
#include "web/api.h"
#include "web/httpconfig.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Kind = web::Route::Kind;

struct RouteRow
{
    const char* method;
    const char* path;
    Kind kind;
    const char* board = "";
    int relay = 0;
};

TEST(WebRoutes, EachPathAndMethodNamesItsResource)
{
    const RouteRow rows[] = {
        {"GET", "/", Kind::ListPage},
        {"GET", "/metrics", Kind::Metrics},
        {"GET", "/board/tank", Kind::BoardPage, "tank"},
        {"GET", "/assets/panel.js", Kind::Asset},
        {"GET", "/assets/../secret", Kind::NotFound},
        {"GET", "/assets/Panel.JS", Kind::NotFound},
        {"GET", "/api/v1/boards", Kind::Boards},
        {"GET", "/api/v1/boards/", Kind::NotFound},
        {"GET", "/api/v1/boards/tank", Kind::Board, "tank"},
        {"GET", "/api/v1/boards//relays", Kind::NotFound},
        {"POST", "/api/v1/boards/tank/relays", Kind::Relays, "tank"},
        {"POST", "/api/v1/boards/tank/relays/05", Kind::Relay, "tank", 5},
        {"POST", "/api/v1/boards/tank/relays/16", Kind::Relay, "tank", 16},
        // Two digits that are no relay: a relay that does not exist.
        {"POST", "/api/v1/boards/tank/relays/17", Kind::Relay, "tank", 0},
        {"POST", "/api/v1/boards/tank/relays/00", Kind::Relay, "tank", 0},
        {"POST", "/api/v1/boards/tank/relays/5", Kind::NotFound},
        {"POST", "/api/v1/boards/tank/relays/05/x", Kind::NotFound},
        {"GET", "/api/v1/boards/tank/relays/05", Kind::WrongMethod},
        {"POST", "/api/v1/boards/tank", Kind::WrongMethod},
        {"GET", "/api/v1/boards/tank/schedule", Kind::Schedule, "tank"},
        {"GET", "/api/v1/boards/tank/trace", Kind::Trace, "tank"},
        {"GET", "/api/v1/boards/tank/events", Kind::Events, "tank"},
        {"GET", "/api/v1/events", Kind::ListEvents},
        {"POST", "/api/v1/events", Kind::WrongMethod},
        {"POST", "/api/v1/login", Kind::Login},
        {"GET", "/api/v1/login", Kind::WrongMethod},
        {"GET", "/api/v2/boards", Kind::NotFound},
        {"DELETE", "/api/v1/boards", Kind::WrongMethod},
        {"GET", "", Kind::NotFound},
        {"GET", "relative", Kind::NotFound},
    };
    for (const RouteRow& row : rows) {
        const web::Route route = web::ParseRoute(row.method, QString::fromUtf8(row.path));
        EXPECT_EQ(route.kind, row.kind) << row.method << ' ' << row.path;
        if (route.kind == row.kind && row.kind != Kind::NotFound && row.kind != Kind::WrongMethod) {
            EXPECT_EQ(route.board, QString::fromUtf8(row.board)) << row.path;
            EXPECT_EQ(route.relay, row.relay) << row.path;
        }
    }
    EXPECT_TRUE(web::ParseRoute("POST", "/api/v1/boards/tank/relays").changes());
    EXPECT_FALSE(web::ParseRoute("GET", "/api/v1/boards/tank").changes());
}

TEST(WebBodies, ARelayTakesOnOffOrToggleAndTheWordFourHexDigits)
{
    using web::RelayAction;
    EXPECT_EQ(web::ParseRelayAction("ON"), RelayAction::On);
    EXPECT_EQ(web::ParseRelayAction(" off\n"), RelayAction::Off);
    EXPECT_EQ(web::ParseRelayAction("Toggle"), RelayAction::Toggle);
    for (const QByteArray& bad : {QByteArray(), QByteArray("1"), QByteArray("ONN"),
                                  QByteArray("O N"), QByteArray("on\0", 3)})
        EXPECT_FALSE(web::ParseRelayAction(bad)) << bad.toStdString();

    EXPECT_EQ(web::ParseRelayWord("0010"), 0x0010);
    EXPECT_EQ(web::ParseRelayWord(" ffFF\r\n"), 0xFFFF);
    for (const QByteArray& bad : {QByteArray("010"), QByteArray("00100"), QByteArray("0x10"),
                                  QByteArray("00g0"), QByteArray("-010"), QByteArray("+010")})
        EXPECT_FALSE(web::ParseRelayWord(bad)) << bad.toStdString();
}

TEST(WebOrigin, OnlyThePagesOwnHostOrNoOriginAtAll)
{
    EXPECT_TRUE(web::Api::sameOrigin({}, "127.0.0.1:8217"));
    EXPECT_TRUE(web::Api::sameOrigin("http://127.0.0.1:8217", "127.0.0.1:8217"));
    EXPECT_FALSE(web::Api::sameOrigin("http://127.0.0.1:8218", "127.0.0.1:8217"));
    EXPECT_FALSE(web::Api::sameOrigin("http://evil.example", "127.0.0.1:8217"));
    EXPECT_FALSE(web::Api::sameOrigin("null", "127.0.0.1:8217"));
    EXPECT_FALSE(web::Api::sameOrigin("http://x", {}));
}

TEST(WebSettings, AddressesLoopbackAndPasswordFiles)
{
    web::HttpConfig c;
    EXPECT_FALSE(c.enabled());
    EXPECT_EQ(web::ParseHttpAddress(c, "127.0.0.1:8217"), QString());
    EXPECT_EQ(c.text(), "127.0.0.1:8217");
    EXPECT_EQ(web::ParseHttpAddress(c, "[::1]:80"), QString());
    EXPECT_EQ(c.text(), "[::1]:80");
    for (const char* bad : {"8217", "localhost:8217", "127.0.0.1", "127.0.0.1:0", "127.0.0.1:65536",
                            "300.1.1.1:80", "::1:80"})
        EXPECT_FALSE(web::ParseHttpAddress(c, bad).isEmpty()) << bad;

    QString password;
    ASSERT_EQ(web::ParseHttpAddress(c, "0.0.0.0:8217"), QString());
    EXPECT_EQ(web::CheckHttpConfig(c, password),
              "http 0.0.0.0:8217 is reachable from other machines: give http-password-file, "
              "or listen on 127.0.0.1");

    QTemporaryDir dir;
    const QString file = dir.filePath("http.pass");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("s3cret\n");
    f.close();
    c.passwordFile = file;
    ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    EXPECT_TRUE(
        web::CheckHttpConfig(c, password)
            .startsWith("the HTTP password file " + file + " is open to other users (mode 0640)"));
    EXPECT_TRUE(password.isEmpty());
    ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(web::CheckHttpConfig(c, password), QString());
    EXPECT_EQ(password, "s3cret");

    web::HttpConfig off;
    off.passwordFile = file;
    EXPECT_EQ(web::CheckHttpConfig(off, password),
              "http-password-file is given, but no http address");
}

TEST(WebSettings, TheConfigurationsGeneralPartAndTheCommandLine)
{
    web::HttpConfig http;
    const auto read = service::ParseConfigText(
        "/etc/qmxv217/qmxv217d.conf",
        "http = 127.0.0.1:8217\nhttp-password-file = http.pass\n[tank]\nport = 1\nproject = "
        "t.iom\n",
        &http);
    ASSERT_TRUE(std::holds_alternative<QList<service::BoardConfig>>(read));
    EXPECT_EQ(http.text(), "127.0.0.1:8217");
    EXPECT_EQ(http.passwordFile, "/etc/qmxv217/http.pass");

    const auto inSection = service::ParseConfigText(
        "/c.conf", "[tank]\nport = 1\nproject = t.iom\nhttp = 127.0.0.1:8217\n", &http);
    ASSERT_TRUE(std::holds_alternative<service::ConfigError>(inSection));
    EXPECT_EQ(std::get<service::ConfigError>(inSection).text(),
              "/c.conf:4: 'http' is a key of the whole service: it stands before the first "
              "[board] section");

    const auto bad = service::ParseConfigText("/c.conf", "http = everywhere\n[tank]\n", &http);
    ASSERT_TRUE(std::holds_alternative<service::ConfigError>(bad));
    EXPECT_EQ(std::get<service::ConfigError>(bad).line, 1);

    const auto options = service::ParseCommandLine({"--config", "/c.conf", "--http", "[::1]:9000"});
    ASSERT_TRUE(std::holds_alternative<service::Options>(options));
    EXPECT_TRUE(std::get<service::Options>(options).httpGiven);
    EXPECT_EQ(std::get<service::Options>(options).http.text(), "[::1]:9000");

    const auto missing = service::ParseCommandLine({"--port", "1", "--project", "p", "--http"});
    ASSERT_TRUE(std::holds_alternative<service::ConfigError>(missing));
    EXPECT_EQ(std::get<service::ConfigError>(missing).text(), "option --http needs a value");
}

} // namespace

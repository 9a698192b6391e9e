// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QUrlQuery>

#include <chrono>
#include <functional>
#include <optional>

// The web panel's requests and replies, apart from the server that carries
// them: what a path and a method ask for, what a body says, who may ask, and
// the reply. The library parses HTTP; what is parsed here is only the
// panel's own language of paths and bodies.
namespace web {

class BoardWatch;

// What a path and method name.
struct Route
{
    enum class Kind
    {
        NotFound,
        // The method is not the one the path takes.
        WrongMethod,
        Login,
        Logout,
        Boards,
        Board,
        Relay,
        Relays,
        Schedule,
        Trace,
        Events,
        // The list's WebSocket: every board's summary on each change.
        ListEvents,
        Metrics,
        ListPage,
        BoardPage,
        Asset
    };
    Kind kind = Kind::NotFound;
    QString board;
    // 1 to 16 for Kind::Relay; 0 for a number out of that range.
    int relay = 0;
    QString asset;
    // Changes something: needs the Origin check.
    [[nodiscard]] bool changes() const;
};

[[nodiscard]] Route ParseRoute(const QByteArray& method, const QString& path);

enum class RelayAction
{
    On,
    Off,
    Toggle
};
// ON, OFF or TOGGLE (any case, white space around); nothing otherwise.
[[nodiscard]] std::optional<RelayAction> ParseRelayAction(const QByteArray& body);
// Four hex digits (white space around); nothing otherwise.
[[nodiscard]] std::optional<quint16> ParseRelayWord(const QByteArray& body);

struct Request
{
    QByteArray method;
    QString path;
    QUrlQuery query;
    QByteArray body;
    QByteArray authorization;
    QByteArray origin;
    QByteArray host;
    QByteArray cookie;
    QString remote;
};

struct Reply
{
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

class Api
{
public:
    // A body longer than this is refused (413) before it is looked at.
    static constexpr qsizetype kMaxBody = 4096;
    // After a wrong password, the address it came from waits this long.
    static constexpr std::chrono::milliseconds kLoginPause{1000};
    static constexpr int kMaxSessions = 64;
    static inline const QByteArray kSessionCookie = "qmxv217_session";

    using Boards = std::function<QList<BoardWatch*>()>;
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    // password: empty when the panel needs none (loopback only).
    Api(Boards boards, QString password, Now now = {});

    [[nodiscard]] Reply handle(const Request& request);
    // Whether a request with these headers may see the pages and the API
    // (the WebSocket's handshake asks too).
    [[nodiscard]] bool authorized(const QByteArray& authorization, const QByteArray& cookie) const;
    // The Origin of a browser's request is the page's own host.
    [[nodiscard]] static bool sameOrigin(const QByteArray& origin, const QByteArray& host);
    [[nodiscard]] BoardWatch* board(const QString& name) const;
    // Every board's summary, as the list has it.
    [[nodiscard]] QJsonArray summaries() const;
    // The metrics of every board, in Prometheus' text format.
    [[nodiscard]] QByteArray metrics() const;

private:
    Reply login(const Request& request);
    Reply relay(BoardWatch& board, const Route& route, const QByteArray& body);
    Reply relays(BoardWatch& board, const QByteArray& body);
    Reply schedule(BoardWatch& board, const QUrlQuery& query) const;
    Reply trace(BoardWatch& board) const;
    [[nodiscard]] bool passwordMatches(const QByteArray& given) const;

    Boards m_boards;
    QByteArray m_password;
    Now m_now;
    QSet<QByteArray> m_sessions;
    // The address of a wrong password and until when it waits.
    QHash<QString, std::chrono::steady_clock::time_point> m_pausedUntil;
};

} // namespace web

// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/api.h"

#include "controller/relay.h"
#include "timers/schedule.h"
#include "web/boardwatch.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimeZone>

namespace web {

namespace {

QString hexWord(int word)
{
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
}

Reply json(int status, const QJsonObject& object)
{
    return Reply{
        status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact), {}};
}

Reply json(const QJsonArray& array)
{
    return Reply{200, "application/json", QJsonDocument(array).toJson(QJsonDocument::Compact), {}};
}

Reply error(int status, const QString& text)
{
    return json(status, QJsonObject{{QStringLiteral("error"), text}});
}

// The word the board is to be sent after a switch, and what the board said
// of the switch (a relay held off by an interlock, say).
Reply switched(const BoardWatch& board, quint64 told)
{
    return json(200, QJsonObject{
                         {QStringLiteral("relays"), hexWord(board.controller().poll().PortOut())},
                         {QStringLiteral("messages"),
                          QJsonArray::fromStringList(board.messagesSince(told))},
                     });
}

// A page or an asset compiled into the program.
Reply resource(const QString& name, QByteArray type, int status = 200)
{
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return error(404, QStringLiteral("no such page"));
    return Reply{status, std::move(type), file.readAll(), {}};
}

QByteArray assetType(const QString& name)
{
    if (name.endsWith(QStringLiteral(".js")))
        return "text/javascript; charset=utf-8";
    if (name.endsWith(QStringLiteral(".css")))
        return "text/css; charset=utf-8";
    if (name.endsWith(QStringLiteral(".svg")))
        return "image/svg+xml";
    return "application/octet-stream";
}

QString isoMs(qint64 ms, const QTimeZone& zone)
{
    return QDateTime::fromMSecsSinceEpoch(ms, zone).toString(Qt::ISODateWithMs);
}

} // namespace

bool Route::changes() const
{
    return kind == Kind::Relay || kind == Kind::Relays || kind == Kind::Login ||
           kind == Kind::Logout;
}

Route ParseRoute(const QByteArray& method, const QString& path)
{
    Route route;
    const bool get = method == "GET" || method == "HEAD";
    const bool post = method == "POST";
    // A path asked for by the wrong method names nothing but that.
    const auto take = [&](Route::Kind kind, bool methodFits) {
        if (!methodFits)
            route = Route();
        route.kind = methodFits ? kind : Route::Kind::WrongMethod;
        return route;
    };
    if (path == QStringLiteral("/"))
        return take(Route::Kind::ListPage, get);
    if (path == QStringLiteral("/metrics"))
        return take(Route::Kind::Metrics, get);
    // No empty segment ("//", a trailing "/") names anything.
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.size() < 2 || !parts.front().isEmpty() ||
        std::any_of(parts.cbegin() + 1, parts.cend(), [](const QString& p) { return p.isEmpty(); }))
        return route;
    if (parts.size() == 3 && parts[1] == QStringLiteral("board")) {
        route.board = parts[2];
        return take(Route::Kind::BoardPage, get);
    }
    static const QRegularExpression assetName(QStringLiteral("^[a-z0-9-]+\\.(js|css|svg)$"));
    if (parts.size() == 3 && parts[1] == QStringLiteral("assets") &&
        assetName.match(parts[2]).hasMatch()) {
        route.asset = parts[2];
        return take(Route::Kind::Asset, get);
    }
    if (parts.size() < 4 || parts[1] != QStringLiteral("api") || parts[2] != QStringLiteral("v1"))
        return route;
    if (parts.size() == 4 && parts[3] == QStringLiteral("login"))
        return take(Route::Kind::Login, post);
    if (parts.size() == 4 && parts[3] == QStringLiteral("logout"))
        return take(Route::Kind::Logout, post);
    if (parts.size() == 4 && parts[3] == QStringLiteral("events"))
        return take(Route::Kind::ListEvents, get);
    if (parts[3] != QStringLiteral("boards"))
        return route;
    if (parts.size() == 4)
        return take(Route::Kind::Boards, get);
    route.board = parts[4];
    if (parts.size() == 5)
        return take(Route::Kind::Board, get);
    const QString& what = parts[5];
    if (parts.size() == 6) {
        if (what == QStringLiteral("relays"))
            return take(Route::Kind::Relays, post);
        if (what == QStringLiteral("schedule"))
            return take(Route::Kind::Schedule, get);
        if (what == QStringLiteral("trace"))
            return take(Route::Kind::Trace, get);
        if (what == QStringLiteral("events"))
            return take(Route::Kind::Events, get);
        return route;
    }
    if (parts.size() == 7 && what == QStringLiteral("relays")) {
        static const QRegularExpression number(QStringLiteral("^[0-9]{2}$"));
        if (!number.match(parts[6]).hasMatch())
            return route;
        const int relay = parts[6].toInt();
        route.relay = relay >= 1 && relay <= 16 ? relay : 0;
        return take(Route::Kind::Relay, post);
    }
    return route;
}

std::optional<RelayAction> ParseRelayAction(const QByteArray& body)
{
    const QByteArray word = body.trimmed().toUpper();
    if (word == "ON")
        return RelayAction::On;
    if (word == "OFF")
        return RelayAction::Off;
    if (word == "TOGGLE")
        return RelayAction::Toggle;
    return std::nullopt;
}

std::optional<quint16> ParseRelayWord(const QByteArray& body)
{
    const QByteArray word = body.trimmed();
    if (word.size() != 4)
        return std::nullopt;
    for (const char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return static_cast<quint16>(word.toUInt(nullptr, 16));
}

Api::Api(Boards boards, QString password, Now now)
    : m_boards(std::move(boards)), m_password(password.toUtf8()),
      m_now(now ? std::move(now) : [] { return std::chrono::steady_clock::now(); })
{
}

BoardWatch* Api::board(const QString& name) const
{
    for (BoardWatch* b : m_boards()) {
        if (b->name() == name)
            return b;
    }
    return nullptr;
}

// Compared in a time that does not depend on where the two first differ.
bool Api::passwordMatches(const QByteArray& given) const
{
    if (given.size() != m_password.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ m_password[i]);
    return difference == 0;
}

bool Api::authorized(const QByteArray& authorization, const QByteArray& cookie) const
{
    if (m_password.isEmpty())
        return true;
    if (authorization.startsWith("Bearer ") && passwordMatches(authorization.mid(7).trimmed()))
        return true;
    for (const QByteArray& part : cookie.split(';')) {
        const QByteArray pair = part.trimmed();
        if (pair.startsWith(kSessionCookie + '=') &&
            m_sessions.contains(pair.mid(kSessionCookie.size() + 1)))
            return true;
    }
    return false;
}

bool Api::sameOrigin(const QByteArray& origin, const QByteArray& host)
{
    // Requests from programs carry no Origin; a browser's always do.
    return origin.isEmpty() || (!host.isEmpty() && origin == "http://" + host);
}

Reply Api::handle(const Request& request)
{
    const Route route = ParseRoute(request.method, request.path);
    if (route.kind == Route::Kind::NotFound)
        return error(404, QStringLiteral("no such resource: %1").arg(request.path));
    if (route.kind == Route::Kind::WrongMethod)
        return error(405, QStringLiteral("%1 does not take %2")
                              .arg(request.path, QString::fromLatin1(request.method)));
    if (request.body.size() > kMaxBody)
        return error(413, QStringLiteral("the body is longer than %1 bytes").arg(kMaxBody));
    if (route.changes() && !sameOrigin(request.origin, request.host))
        return error(403, QStringLiteral("the request comes from another site's page"));
    if (route.kind == Route::Kind::Asset)
        return resource(route.asset, assetType(route.asset));
    if (route.kind == Route::Kind::Login)
        return login(request);
    const bool pageRoute =
        route.kind == Route::Kind::ListPage || route.kind == Route::Kind::BoardPage;
    if (!authorized(request.authorization, request.cookie)) {
        if (pageRoute)
            return resource(QStringLiteral("login.html"), "text/html; charset=utf-8");
        Reply reply = error(401, QStringLiteral("a password is needed"));
        reply.headers.append(
            {QByteArray("WWW-Authenticate"), QByteArray("Bearer realm=\"qmxv217d\"")});
        return reply;
    }
    if (route.kind == Route::Kind::Logout) {
        for (const QByteArray& part : request.cookie.split(';')) {
            const QByteArray pair = part.trimmed();
            if (pair.startsWith(kSessionCookie + '='))
                m_sessions.remove(pair.mid(kSessionCookie.size() + 1));
        }
        Reply reply = json(200, {});
        reply.headers.append({QByteArray("Set-Cookie"),
                              kSessionCookie + "=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0"});
        return reply;
    }
    if (route.kind == Route::Kind::ListPage)
        return resource(QStringLiteral("index.html"), "text/html; charset=utf-8");
    if (route.kind == Route::Kind::Metrics)
        return Reply{200, "text/plain; version=0.0.4; charset=utf-8", metrics(), {}};
    if (route.kind == Route::Kind::Boards)
        return json(summaries());
    if (route.kind == Route::Kind::ListEvents)
        return error(400, QStringLiteral("%1 is a WebSocket").arg(request.path));
    BoardWatch* const b = board(route.board);
    if (!b)
        return error(404, QStringLiteral("no board named '%1'").arg(route.board));
    switch (route.kind) {
    case Route::Kind::BoardPage:
        return resource(QStringLiteral("board.html"), "text/html; charset=utf-8");
    case Route::Kind::Board:
        return json(200, b->details());
    case Route::Kind::Relay:
        return relay(*b, route, request.body);
    case Route::Kind::Relays:
        return relays(*b, request.body);
    case Route::Kind::Schedule:
        return schedule(*b, request.query);
    case Route::Kind::Trace:
        return trace(*b);
    default:
        // Events: only as a WebSocket, which the server takes before here.
        return error(400, QStringLiteral("%1 is a WebSocket").arg(request.path));
    }
}

QJsonArray Api::summaries() const
{
    QJsonArray list;
    for (const BoardWatch* b : m_boards())
        list.append(b->summary());
    return list;
}

Reply Api::login(const Request& request)
{
    if (m_password.isEmpty())
        return json(200, {});
    const auto now = m_now();
    const auto paused = m_pausedUntil.constFind(request.remote);
    if (paused != m_pausedUntil.cend() && now < *paused) {
        Reply reply = error(429, QStringLiteral("wait a second after a wrong password"));
        reply.headers.append({QByteArray("Retry-After"), QByteArray("1")});
        return reply;
    }
    if (!passwordMatches(request.body.trimmed())) {
        m_pausedUntil.insert(request.remote, now + kLoginPause);
        return error(401, QStringLiteral("wrong password"));
    }
    m_pausedUntil.remove(request.remote);
    if (m_sessions.size() >= kMaxSessions)
        m_sessions.erase(m_sessions.begin());
    QByteArray token(32, '\0');
    QRandomGenerator::system()->generate(token.begin(), token.end());
    token = token.toHex();
    m_sessions.insert(token);
    Reply reply = json(200, {});
    reply.headers.append({QByteArray("Set-Cookie"),
                          kSessionCookie + '=' + token + "; HttpOnly; SameSite=Strict; Path=/"});
    return reply;
}

Reply Api::relay(BoardWatch& board, const Route& route, const QByteArray& body)
{
    if (route.relay == 0)
        return error(404, QStringLiteral("no such relay: the relays are 01 to 16"));
    const std::optional<RelayAction> action = ParseRelayAction(body);
    if (!action)
        return error(400, QStringLiteral("the body is not ON, OFF or TOGGLE"));
    if (!board.responding())
        return error(409, board.refusal());
    Controller& c = board.controller();
    const quint16 bit = static_cast<quint16>(1U << (route.relay - 1));
    const bool on = *action == RelayAction::On ||
                    (*action == RelayAction::Toggle && (c.poll().PortOut() & bit) == 0);
    const quint64 told = board.messagesTold();
    c.requestRelays(on ? bit : 0, bit, Controller::Source::Web);
    return switched(board, told);
}

Reply Api::relays(BoardWatch& board, const QByteArray& body)
{
    const std::optional<quint16> word = ParseRelayWord(body);
    if (!word)
        return error(400, QStringLiteral("the body is not four hex digits (0010)"));
    if (!board.responding())
        return error(409, board.refusal());
    Controller& c = board.controller();
    const quint64 told = board.messagesTold();
    c.requestRelays(*word, 0xFFFF, Controller::Source::Web);
    return switched(board, told);
}

Reply Api::schedule(BoardWatch& board, const QUrlQuery& query) const
{
    QDate from = QDate::currentDate();
    int days = 7;
    if (query.hasQueryItem(QStringLiteral("from"))) {
        from = QDate::fromString(query.queryItemValue(QStringLiteral("from")), Qt::ISODate);
        if (!from.isValid())
            return error(400, QStringLiteral("from is no date (YYYY-MM-DD)"));
    }
    if (query.hasQueryItem(QStringLiteral("days"))) {
        bool ok = false;
        days = query.queryItemValue(QStringLiteral("days")).toInt(&ok);
        if (!ok || days < 1 || days > 366)
            return error(400, QStringLiteral("days is not 1 to 366"));
    }
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const schedule::Schedule s = schedule::ComputeSchedule(board.controller().timers().TimerList(),
                                                           schedule::DaySpan(from, days, zone));
    if (s.faultyRecord >= 0)
        return error(409, QStringLiteral("timer record %1: %2").arg(s.faultyRecord).arg(s.error));
    QJsonArray relays;
    for (const schedule::RelayOn& r : s.relays) {
        relays.append(QJsonObject{
            {QStringLiteral("relay"), r.relay},
            {QStringLiteral("on"), isoMs(r.fromMs, zone)},
            {QStringLiteral("off"), isoMs(r.toMs, zone)},
            {QStringLiteral("on_by"), r.onBy >= 0 ? QJsonValue(r.onBy) : QJsonValue()},
            {QStringLiteral("off_by"), r.offBy >= 0 ? QJsonValue(r.offBy) : QJsonValue()},
        });
    }
    QJsonArray records;
    for (const schedule::Interval& i : s.intervals) {
        QJsonObject o{{QStringLiteral("relay"), i.relay},
                      {QStringLiteral("record"), i.record},
                      {QStringLiteral("on"), isoMs(i.onMs, zone)},
                      {QStringLiteral("off"), isoMs(i.offMs, zone)}};
        if (i.toggle)
            o.insert(QStringLiteral("toggle_on_s"), static_cast<double>(i.toggle->onMs) / 1000);
        if (i.toggle)
            o.insert(QStringLiteral("toggle_off_s"), static_cast<double>(i.toggle->offMs) / 1000);
        records.append(o);
    }
    return json(200, QJsonObject{{QStringLiteral("from"), from.toString(Qt::ISODate)},
                                 {QStringLiteral("days"), days},
                                 {QStringLiteral("relays"), relays},
                                 {QStringLiteral("records"), records}});
}

Reply Api::trace(BoardWatch& board) const
{
    QJsonArray points;
    for (const BoardWatch::TracePoint& p : board.trace())
        points.append(QJsonObject{{QStringLiteral("t"), p.ms},
                                  {QStringLiteral("relays"), hexWord(p.relays)},
                                  {QStringLiteral("inputs"), hexWord(p.inputs).right(2)},
                                  {QStringLiteral("up"), p.up}});
    return json(200, QJsonObject{{QStringLiteral("now"), QDateTime::currentMSecsSinceEpoch()},
                                 {QStringLiteral("points"), points}});
}

QByteArray Api::metrics() const
{
    const QList<BoardWatch*> boards = m_boards();
    QByteArray out;
    const auto family = [&](const char* name, const char* type, const char* help,
                            const std::function<void(const BoardWatch&, const QByteArray&)>& rows) {
        out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
        for (const BoardWatch* b : boards)
            rows(*b, "board=\"" + b->name().toUtf8() + '"');
    };
    const auto row = [&](const char* name, const QByteArray& labels, quint64 value) {
        out += QByteArray(name) + '{' + labels + "} " + QByteArray::number(value) + '\n';
    };
    family("qmxv217_poll_cycles_total", "counter", "Poll cycles with a good input read.",
           [&](const BoardWatch& b, const QByteArray& l) {
               row("qmxv217_poll_cycles_total", l, b.counters().pollCycles);
           });
    family("qmxv217_late_cycles_total", "counter",
           "Input reads more than 300 ms after the one before.",
           [&](const BoardWatch& b, const QByteArray& l) {
               row("qmxv217_late_cycles_total", l, b.counters().lateCycles);
           });
    family("qmxv217_faults_total", "counter", "Faults that ended an activation, by kind.",
           [&](const BoardWatch& b, const QByteArray& l) {
               for (int k = 0; k < kFaultKinds; ++k)
                   row("qmxv217_faults_total",
                       l + ",kind=\"" + FaultKindName(static_cast<FaultKind>(k)).toUtf8() + '"',
                       b.counters().faults[static_cast<size_t>(k)]);
           });
    family("qmxv217_recoveries_total", "counter", "Times the board responded again after a fault.",
           [&](const BoardWatch& b, const QByteArray& l) {
               row("qmxv217_recoveries_total", l, b.counters().recoveries);
           });
    family("qmxv217_board_up", "gauge", "1 while the board responds.",
           [&](const BoardWatch& b, const QByteArray& l) {
               row("qmxv217_board_up", l, b.responding() ? 1 : 0);
           });
    family("qmxv217_relay_on", "gauge", "1 for a relay the board is sent on.",
           [&](const BoardWatch& b, const QByteArray& l) {
               const int word = b.controller().poll().PortOut();
               for (int i = 0; i < 16; ++i)
                   row("qmxv217_relay_on",
                       l + ",relay=\"" +
                           QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')).toUtf8() + '"',
                       (word >> i) & 1);
           });
    family("qmxv217_input_high", "gauge", "1 for an input that reads high.",
           [&](const BoardWatch& b, const QByteArray& l) {
               const int word = b.controller().poll().PortIn();
               for (int i = 0; i < 6; ++i)
                   row("qmxv217_input_high", l + ",input=\"" + QByteArray::number(i + 1) + '"',
                       (word >> i) & 1);
           });
    family("qmxv217_mqtt_connected", "gauge", "1 while the board's MQTT link is connected.",
           [&](const BoardWatch& b, const QByteArray& l) {
               const auto& mqtt = b.handle().mqttConnected;
               const std::optional<bool> connected = mqtt ? mqtt() : std::nullopt;
               if (connected)
                   row("qmxv217_mqtt_connected", l, *connected ? 1 : 0);
           });
    return out;
}

} // namespace web

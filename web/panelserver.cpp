// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/panelserver.h"

#include "controller/relay.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkRequest>

namespace web {

namespace {

// One accepted connection's guard: its timers and its byte count live as
// long as the socket does.
class ConnectionGuard : public QObject
{
public:
    ConnectionGuard(QTcpSocket* socket, const ConnectionLimits& limits)
        : QObject(socket), m_socket(socket), m_limits(limits)
    {
        m_request.setSingleShot(true);
        m_idle.setSingleShot(true);
        connect(&m_request, &QTimer::timeout, this, &ConnectionGuard::cut);
        connect(&m_idle, &QTimer::timeout, this, &ConnectionGuard::cut);
        // Made before the HTTP server's own connection: this sees the bytes
        // before it reads them.
        m_reading = connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::received);
        connect(socket, &QTcpSocket::bytesWritten, this, &ConnectionGuard::sent);
        m_idle.start(m_limits.idleTime);
    }

private:
    void received()
    {
        m_idle.start(m_limits.idleTime);
        if (!m_request.isActive())
            m_request.start(m_limits.requestTime);
        m_unanswered += m_socket->bytesAvailable();
        if (m_unanswered > m_limits.maxRequestBytes)
            m_socket->abort();
    }
    void sent()
    {
        m_idle.start(m_limits.idleTime);
        m_request.stop();
        m_unanswered = 0;
    }
    void cut()
    {
        // A connection handed over as a WebSocket has lost every connection
        // to its signals, this guard's too: the panel's pings look after it
        // from then on.
        if (!m_reading)
            return;
        m_socket->abort();
    }

    QTcpSocket* m_socket;
    ConnectionLimits m_limits;
    QTimer m_request;
    QTimer m_idle;
    QMetaObject::Connection m_reading;
    qint64 m_unanswered = 0;
};

QByteArray header(const QHttpServerRequest& request, const QByteArray& name)
{
    return request.value(name);
}

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString compact(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

bool isWebSocket(const QHttpServerRequest& request)
{
    return request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

} // namespace

int GuardedTcpServer::openConnections()
{
    m_sockets.removeAll(QPointer<QTcpSocket>());
    return static_cast<int>(m_sockets.size());
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (openConnections() >= m_limits.maxConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_sockets.append(socket);
    new ConnectionGuard(socket, m_limits);
    addPendingConnection(socket);
}

PanelServer::PanelServer(QString password, QObject* parent)
    : QAbstractHttpServer(parent), m_api([this] { return watches(); }, std::move(password))
{
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &PanelServer::takeWebSockets);
    m_sample.setInterval(kSamplePeriod);
    connect(&m_sample, &QTimer::timeout, this, &PanelServer::sample);
    m_ping.setInterval(kPingPeriod);
    // A page that has not answered the last ping is gone.
    connect(&m_ping, &QTimer::timeout, this, [this] {
        QList<QWebSocket*> gone;
        for (Page& page : m_pages) {
            if (!std::exchange(page.ponged, false))
                gone.append(page.socket.get());
            else
                page.socket->ping();
        }
        // Each leaves m_pages as it disconnects; it is deleted later.
        for (QWebSocket* socket : gone)
            socket->abort();
    });
}

PanelServer::~PanelServer()
{
    m_pages.clear();
    m_watches.clear();
}

QString PanelServer::start(const HttpConfig& config, ConnectionLimits limits)
{
    m_tcp = new GuardedTcpServer(limits, this);
    if (!m_tcp->listen(config.address, config.port))
        return QStringLiteral("cannot listen at http %1: %2")
            .arg(config.text(), m_tcp->errorString());
    bind(m_tcp);
    m_sample.start();
    m_ping.start();
    return {};
}

quint16 PanelServer::port() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

QList<BoardWatch*> PanelServer::watches() const
{
    QList<BoardWatch*> list;
    for (const auto& w : m_watches)
        list.append(w.get());
    return list;
}

void PanelServer::setBoards(const QList<BoardHandle>& boards)
{
    std::vector<std::unique_ptr<BoardWatch>> kept;
    for (const BoardHandle& handle : boards) {
        auto same = std::find_if(m_watches.begin(), m_watches.end(), [&](const auto& w) {
            return w && w->handle().controller == handle.controller;
        });
        if (same != m_watches.end()) {
            kept.push_back(std::move(*same));
            continue;
        }
        kept.push_back(
            std::make_unique<BoardWatch>(handle, [this](BoardWatch* board) { changed(board); }));
    }
    // A page of a board that has gone is closed; the list's pages are told
    // the new list.
    std::erase_if(m_pages, [&kept](const Page& page) {
        return page.board && std::none_of(kept.begin(), kept.end(),
                                          [&](const auto& w) { return w.get() == page.board; });
    });
    m_changed.clear();
    m_watches = std::move(kept);
    pushList();
}

void PanelServer::sample()
{
    for (const auto& w : m_watches)
        w->sample();
}

void PanelServer::changed(BoardWatch* board)
{
    m_changed.insert(board);
    if (m_pushQueued)
        return;
    m_pushQueued = true;
    // After the observation that changed it: the poll cycle's words are
    // all set by then.
    QTimer::singleShot(0, this, &PanelServer::pushChanges);
}

void PanelServer::pushChanges()
{
    m_pushQueued = false;
    const QSet<BoardWatch*> changed = std::exchange(m_changed, {});
    if (changed.isEmpty())
        return;
    for (BoardWatch* board : changed) {
        const QString text = compact(board->details());
        for (const Page& page : m_pages) {
            if (page.board == board)
                page.socket->sendTextMessage(text);
        }
    }
    pushList();
}

void PanelServer::pushList()
{
    const QString list = compact(m_api.summaries());
    for (const Page& page : m_pages) {
        if (!page.board)
            page.socket->sendTextMessage(list);
    }
}

void PanelServer::takeWebSockets()
{
    while (hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = nextPendingWebSocketConnection();
        const QNetworkRequest request = socket->request();
        const Route route = ParseRoute("GET", request.url().path());
        const bool list = route.kind == Route::Kind::ListEvents;
        BoardWatch* board = route.kind == Route::Kind::Events ? m_api.board(route.board) : nullptr;
        const QByteArray host = request.rawHeader("Host");
        if ((!board && !list) ||
            !m_api.authorized(request.rawHeader("Authorization"), request.rawHeader("Cookie")) ||
            !Api::sameOrigin(socket->origin().toUtf8(), host)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket.release()->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(Api::kMaxBody);
        socket->setMaxAllowedIncomingFrameSize(Api::kMaxBody);
        QWebSocket* raw = socket.get();
        connect(raw, &QWebSocket::pong, this, [this, raw] {
            for (Page& page : m_pages) {
                if (page.socket.get() == raw)
                    page.ponged = true;
            }
        });
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            const auto page = std::find_if(m_pages.begin(), m_pages.end(),
                                           [raw](const Page& p) { return p.socket.get() == raw; });
            if (page != m_pages.end()) {
                page->socket.release()->deleteLater();
                m_pages.erase(page);
            }
        });
        raw->sendTextMessage(board ? compact(board->details()) : compact(m_api.summaries()));
        m_pages.push_back({std::move(socket), board});
    }
}

bool PanelServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // A WebSocket handshake the panel takes is left unanswered: the library
    // then hands the connection over as a WebSocket. One it refuses is
    // answered by missingHandler.
    if (isWebSocket(request))
        return webSocketRefusal(request).status == 0;
    const Reply reply = m_api.handle(requestOf(request));
    send(reply, request, socket);
    return true;
}

Reply PanelServer::webSocketRefusal(const QHttpServerRequest& request)
{
    Request r = requestOf(request);
    const Route route = ParseRoute(r.method, r.path);
    if (route.kind != Route::Kind::Events && route.kind != Route::Kind::ListEvents)
        return Reply{
            400, "application/json", R"({"error":"only the events take a WebSocket"})", {}};
    // The board's details (or the list) answer whether the board exists, the
    // password and the Origin, as a plain request for them would.
    r.path = route.kind == Route::Kind::Events ? QStringLiteral("/api/v1/boards/") + route.board
                                               : QStringLiteral("/api/v1/boards");
    if (!Api::sameOrigin(r.origin, r.host))
        return Reply{403,
                     "application/json",
                     R"({"error":"the request comes from another site's page"})",
                     {}};
    Reply reply = m_api.handle(r);
    if (reply.status == 200)
        reply.status = 0;
    return reply;
}

Request PanelServer::requestOf(const QHttpServerRequest& request)
{
    Request r;
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        r.method = "GET";
        break;
    case QHttpServerRequest::Method::Head:
        r.method = "HEAD";
        break;
    case QHttpServerRequest::Method::Post:
        r.method = "POST";
        break;
    default:
        r.method = "OTHER";
        break;
    }
    r.path = request.url().path(QUrl::FullyDecoded);
    r.query = request.query();
    r.body = request.body();
    r.authorization = header(request, "Authorization");
    r.origin = header(request, "Origin");
    r.host = header(request, "Host");
    r.cookie = header(request, "Cookie");
    r.remote = request.remoteAddress().toString();
    return r;
}

void PanelServer::send(const Reply& reply, const QHttpServerRequest& request, QTcpSocket* socket)
{
    QList<QPair<QByteArray, QByteArray>> headers = reply.headers;
    headers += {{"Cache-Control", "no-store"},
                {"X-Content-Type-Options", "nosniff"},
                {"Content-Security-Policy",
                 "default-src 'self'; connect-src 'self'; frame-ancestors 'none'"}};
    const auto status = static_cast<QHttpServerResponse::StatusCode>(reply.status);
    // The answer to HEAD is the answer to GET without its body: a body
    // would be read as the start of the next reply on the connection.
    if (request.method() == QHttpServerRequest::Method::Head) {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(status);
        for (const auto& [name, value] : headers)
            responder.writeHeader(name, value);
        responder.writeHeader("Content-Type", reply.contentType);
        responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
        responder.writeBody(QByteArray());
        return;
    }
    QHttpServerResponse response(reply.contentType, reply.body, status);
    for (const auto& [name, value] : headers)
        response.addHeader(name, value);
    response.write(makeResponder(request, socket));
}

// Only a refused WebSocket handshake comes here: every other request is
// answered by handleRequest.
void PanelServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const Reply refusal = webSocketRefusal(request);
    send(refusal.status != 0 ? refusal : Reply{404, "application/json", "{}", {}}, request, socket);
}

} // namespace web

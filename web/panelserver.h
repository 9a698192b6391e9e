// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/api.h"
#include "web/boardwatch.h"
#include "web/httpconfig.h"

#include <QAbstractHttpServer>
#include <QPointer>
#include <QSet>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>

#include <chrono>
#include <memory>
#include <vector>

// The service's web panel: the pages, the JSON API, the metrics and the
// pages' WebSocket of updates, on Qt's HTTP server. It runs in the event
// loop of the boards, so each request is answered in one short call; a
// client that holds a connection without finishing its request, sends too
// much or opens too many connections is cut off rather than waited for.
namespace web {

// What one client may hold of the panel: connections at once, and how long
// and how much a request may take before its connection is cut.
struct ConnectionLimits
{
    int maxConnections = 64;
    // From a request's first byte to its reply.
    std::chrono::milliseconds requestTime{std::chrono::seconds(10)};
    // With nothing sent either way (the WebSocket pings keep a page's open).
    std::chrono::milliseconds idleTime{std::chrono::seconds(60)};
    // What a client may send before it gets its reply.
    qint64 maxRequestBytes = 64 * 1024;
};

// The listening socket: at most a number of connections at once, and each
// one closed when its request takes too long or it is idle too long.
class GuardedTcpServer : public QTcpServer
{
public:
    GuardedTcpServer(ConnectionLimits limits, QObject* parent)
        : QTcpServer(parent), m_limits(limits)
    {
    }
    [[nodiscard]] int openConnections();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConnectionLimits m_limits;
    QList<QPointer<QTcpSocket>> m_sockets;
};

class PanelServer : public QAbstractHttpServer
{
public:
    // How often the runners' state is sampled, and the pages' WebSocket
    // pinged.
    static constexpr std::chrono::milliseconds kSamplePeriod{100};
    static constexpr std::chrono::seconds kPingPeriod{20};

    explicit PanelServer(QString password, QObject* parent = nullptr);
    ~PanelServer() override;

    // Listens at the address; the problem text when it cannot.
    [[nodiscard]] QString start(const HttpConfig& config, ConnectionLimits limits = {});
    [[nodiscard]] quint16 port() const;
    // The boards from now on: a board already watched (the same controller)
    // keeps its counters.
    void setBoards(const QList<BoardHandle>& boards);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Page
    {
        std::unique_ptr<QWebSocket> socket;
        // Nothing for the list's page.
        BoardWatch* board = nullptr;
        // Answered the last ping (or none was sent yet).
        bool ponged = true;
    };
    [[nodiscard]] static Request requestOf(const QHttpServerRequest& request);
    // Nothing (status 0) for a WebSocket handshake the panel takes, else the
    // reply that refuses it.
    [[nodiscard]] Reply webSocketRefusal(const QHttpServerRequest& request);
    void send(const Reply& reply, const QHttpServerRequest& request, QTcpSocket* socket);
    void takeWebSockets();
    void changed(BoardWatch* board);
    void pushChanges();
    // Every board's summary to the list's pages.
    void pushList();
    void sample();
    [[nodiscard]] QList<BoardWatch*> watches() const;

    std::vector<std::unique_ptr<BoardWatch>> m_watches;
    Api m_api;
    GuardedTcpServer* m_tcp = nullptr;
    QTimer m_sample;
    QTimer m_ping;
    std::vector<Page> m_pages;
    QSet<BoardWatch*> m_changed;
    bool m_pushQueued = false;
};

} // namespace web

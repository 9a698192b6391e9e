// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QString>

// Requests to the service's web panel from a test, one at a time: each call
// runs the event loop until its reply is in (or a bound has passed).
class HttpClient
{
public:
    struct Reply
    {
        // 0 when no reply came.
        int status = 0;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;

        [[nodiscard]] QJsonDocument json() const { return QJsonDocument::fromJson(body); }
        [[nodiscard]] QByteArray header(const QByteArray& name) const;
    };
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    explicit HttpClient(quint16 port) : m_port(port) {}

    [[nodiscard]] Reply get(const QString& path, const Headers& headers = {});
    [[nodiscard]] Reply post(const QString& path, const QByteArray& body,
                             const Headers& headers = {});
    [[nodiscard]] QString url(const QString& path) const;

private:
    Reply run(const QByteArray& method, const QString& path, const QByteArray& body,
              const Headers& headers);

    quint16 m_port;
    QNetworkAccessManager m_manager;
};

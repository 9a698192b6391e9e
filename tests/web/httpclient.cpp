// SPDX-License-Identifier: GPL-3.0-or-later
#include "httpclient.h"

#include "tools/waituntil.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

QByteArray HttpClient::Reply::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString HttpClient::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

HttpClient::Reply HttpClient::get(const QString& path, const Headers& headers)
{
    return run("GET", path, {}, headers);
}

HttpClient::Reply HttpClient::post(const QString& path, const QByteArray& body,
                                   const Headers& headers)
{
    return run("POST", path, body, headers);
}

HttpClient::Reply HttpClient::run(const QByteArray& method, const QString& path,
                                  const QByteArray& body, const Headers& headers)
{
    QNetworkRequest request{QUrl(url(path))};
    // Each request carries the cookies its test gives, no more.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    if (method == "POST")
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
    const std::unique_ptr<QNetworkReply> reply(method == "POST" ? m_manager.post(request, body)
                                                                : m_manager.get(request));
    Reply result;
    if (!waitUntil([&] { return reply->isFinished(); }, std::chrono::seconds(5)))
        return result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.headers = reply->rawHeaderPairs();
    return result;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/httpconfig.h"

#include "network/mqttconfig.h"

#include <QRegularExpression>

namespace web {

QString HttpConfig::text() const
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

bool SameHttpConfig(const HttpConfig& a, const HttpConfig& b)
{
    return a.address == b.address && a.port == b.port && a.passwordFile == b.passwordFile;
}

bool IsHttpKey(const QString& key)
{
    return key == QStringLiteral("http") || key == QStringLiteral("http-password-file");
}

QString ParseHttpAddress(HttpConfig& config, const QString& value)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([0-9.]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch m = pattern.match(value);
    const QHostAddress address(m.hasMatch() ? m.captured(1) + m.captured(2) : QString());
    if (!m.hasMatch() || address.isNull())
        return QStringLiteral("http '%1' is not ADDRESS:PORT (127.0.0.1:8217, [::1]:8217)")
            .arg(value);
    const int port = m.captured(3).toInt();
    if (port < 1 || port > 65535)
        return QStringLiteral("http: port %1 is not 1 to 65535").arg(m.captured(3));
    config.address = address;
    config.port = static_cast<quint16>(port);
    return {};
}

QString CheckHttpConfig(const HttpConfig& config, QString& password)
{
    if (!config.enabled()) {
        if (!config.passwordFile.isEmpty())
            return QStringLiteral("http-password-file is given, but no http address");
        return {};
    }
    if (config.passwordFile.isEmpty()) {
        if (!config.address.isLoopback())
            return QStringLiteral("http %1 is reachable from other machines: give "
                                  "http-password-file, or listen on 127.0.0.1")
                .arg(config.text());
        return {};
    }
    QString read;
    const QString problem =
        network::ReadSecretFile(config.passwordFile, QStringLiteral("HTTP password file"), read);
    if (!problem.isEmpty())
        return problem;
    if (read.isEmpty())
        return QStringLiteral("the HTTP password file %1 is empty").arg(config.passwordFile);
    password = read;
    return {};
}

} // namespace web

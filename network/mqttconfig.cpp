// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/mqttconfig.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace network {

QString DefaultTopicPrefix(const QString& board)
{
    return QStringLiteral("qmxv217/") + board;
}

QString MqttConfig::topicPrefixFor(const QString& board) const
{
    return topicPrefix.isEmpty() ? DefaultTopicPrefix(board) : topicPrefix;
}

const QStringList& MqttKeys()
{
    static const QStringList keys{
        QStringLiteral("mqtt"),
        QStringLiteral("mqtt-client-id"),
        QStringLiteral("mqtt-password"),
        QStringLiteral("mqtt-password-file"),
        QStringLiteral("mqtt-ca-file"),
        QStringLiteral("mqtt-topic-prefix"),
        QStringLiteral("mqtt-discovery-prefix"),
        QStringLiteral("mqtt-discovery"),
        QStringLiteral("mqtt-input-events"),
    };
    return keys;
}

bool ValidTopic(const QString& topic)
{
    return !topic.isEmpty() && !topic.contains(QLatin1Char('#')) &&
           !topic.contains(QLatin1Char('+')) && !topic.startsWith(QLatin1Char('/')) &&
           !topic.endsWith(QLatin1Char('/')) && topic.size() <= 200;
}

QString ReadPasswordFile(const QString& path, QString& password)
{
    return ReadSecretFile(path, QStringLiteral("MQTT password file"), password);
}

QString ReadSecretFile(const QString& path, const QString& what, QString& password)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the %1 %2: %3").arg(what, path, file.errorString());
    const QFileDevice::Permissions p = file.permissions();
    const auto bits = [p](QFileDevice::Permission read, QFileDevice::Permission write,
                          QFileDevice::Permission execute) {
        return (p.testFlag(read) ? 4 : 0) | (p.testFlag(write) ? 2 : 0) |
               (p.testFlag(execute) ? 1 : 0);
    };
    const int owner = bits(QFileDevice::ReadOwner, QFileDevice::WriteOwner, QFileDevice::ExeOwner);
    const int group = bits(QFileDevice::ReadGroup, QFileDevice::WriteGroup, QFileDevice::ExeGroup);
    const int others = bits(QFileDevice::ReadOther, QFileDevice::WriteOther, QFileDevice::ExeOther);
    // systemd's credentials folder is the unit's alone; it lends the file to
    // a dynamic user through an ACL, which shows as group bits.
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    const bool lent = !credentials.isEmpty() &&
                      QFileInfo(path).canonicalFilePath().startsWith(
                          QFileInfo(credentials).canonicalFilePath() + QLatin1Char('/'));
    if (!lent && (group != 0 || others != 0))
        return QStringLiteral("the %3 %1 is open to other users (mode %2); it is not used: "
                              "chmod 600 %1")
            .arg(path)
            .arg(owner * 64 + group * 8 + others, 4, 8, QLatin1Char('0'))
            .arg(what);
    password = QString::fromUtf8(file.readLine()).trimmed();
    return {};
}

QString ParseMqttUrl(MqttConfig& mqtt, const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^mqtts?://(?:([^@:/]+)(:[^@/]*)?@)?([A-Za-z0-9_.-]+)(?::([0-9]{1,5}))?/?$"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch())
        return QStringLiteral("mqtt is not mqtt[s]://[user@]host[:port]");
    if (m.capturedLength(2) > 0)
        return QStringLiteral("mqtt: the password goes in mqtt-password-file, not in the URL");
    const bool tls = value.startsWith(QStringLiteral("mqtts://"));
    const int port = m.capturedLength(4) > 0 ? m.captured(4).toInt() : tls ? 8883 : 1883;
    if (port < 1 || port > 65535)
        return QStringLiteral("mqtt: port %1 is not 1 to 65535").arg(m.captured(4));
    mqtt.user = m.captured(1);
    mqtt.host = m.captured(3);
    mqtt.port = port;
    mqtt.tls = tls;
    return {};
}

QString MqttUrl(const MqttConfig& mqtt)
{
    const QString user = mqtt.user.isEmpty() ? QString() : mqtt.user + QLatin1Char('@');
    return QStringLiteral("%1://%2%3:%4")
        .arg(mqtt.tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), user, mqtt.host)
        .arg(mqtt.port);
}

QString SetMqttOption(MqttConfig& mqtt, const QString& key, const QString& value,
                      const std::function<QString(const QString&)>& absolute)
{
    if (key == QStringLiteral("mqtt"))
        return ParseMqttUrl(mqtt, value);
    if (key == QStringLiteral("mqtt-client-id")) {
        if (value.isEmpty() || value.size() > 64)
            return QStringLiteral("mqtt-client-id is not 1 to 64 characters");
        mqtt.clientId = value;
    } else if (key == QStringLiteral("mqtt-password")) {
        mqtt.password = value;
    } else if (key == QStringLiteral("mqtt-password-file") ||
               key == QStringLiteral("mqtt-ca-file")) {
        if (value.isEmpty())
            return QStringLiteral("%1 is empty").arg(key);
        (key == QStringLiteral("mqtt-ca-file") ? mqtt.caFile : mqtt.passwordFile) = absolute(value);
    } else if (key == QStringLiteral("mqtt-topic-prefix") ||
               key == QStringLiteral("mqtt-discovery-prefix")) {
        if (!ValidTopic(value))
            return QStringLiteral("%1 '%2' is not a topic without '+', '#' and outer '/'")
                .arg(key, value);
        (key == QStringLiteral("mqtt-topic-prefix") ? mqtt.topicPrefix : mqtt.discoveryPrefix) =
            value;
    } else if (key == QStringLiteral("mqtt-discovery") ||
               key == QStringLiteral("mqtt-input-events")) {
        if (value != QStringLiteral("on") && value != QStringLiteral("off"))
            return QStringLiteral("%1 '%2' is not on or off").arg(key, value);
        (key == QStringLiteral("mqtt-discovery") ? mqtt.discovery : mqtt.inputEvents) =
            value == QStringLiteral("on");
    } else {
        return QStringLiteral("unknown key '%1'").arg(key);
    }
    return {};
}

} // namespace network

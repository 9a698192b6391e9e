// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The MQTT settings of one board as both programs keep them: the service
// in its configuration file, the desktop program in mqtt.conf, each as
// "key = value" lines with the same mqtt-* keys and the same checks.
namespace network {

// The board's MQTT connection; off while host is empty.
struct MqttConfig
{
    QString host;
    int port = 1883;
    QString user;
    // Never written to a log line; from the file named by passwordFile
    // when the connection starts.
    QString password;
    QString passwordFile;
    QString clientId;
    QString caFile;
    // mqtts://: TLS, with the system's CA certificates unless caFile names
    // the CA; a CA file switches TLS on for mqtt:// too.
    bool tls = false;
    // Empty: DefaultTopicPrefix() of the board.
    QString topicPrefix;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    bool discovery = true;
    // Each input's rising and falling edge as a press and a release event
    // on <prefix>/input/N/event, and announced as an event entity.
    bool inputEvents = false;

    [[nodiscard]] bool enabled() const { return !host.isEmpty(); }
    // topicPrefix, else the default of the board of that name.
    [[nodiscard]] QString topicPrefixFor(const QString& board) const;
    bool operator==(const MqttConfig&) const = default;
};

// The topics of a board without mqtt-topic-prefix: qmxv217/<board name>.
[[nodiscard]] QString DefaultTopicPrefix(const QString& board);

// The keys SetMqttOption takes: "mqtt" (the broker's URL) and the mqtt-* keys.
[[nodiscard]] const QStringList& MqttKeys();

// Sets one MQTT key; the problem text when the value is wrong. absolute
// turns a file name of the value into an absolute path.
[[nodiscard]] QString SetMqttOption(MqttConfig& mqtt, const QString& key, const QString& value,
                                    const std::function<QString(const QString&)>& absolute);

// The password in a password file: its first line. A file the group or
// others may read or write is refused, as ssh refuses such a private key:
// its password is no secret any more; a file in systemd's credentials
// folder of the unit ($CREDENTIALS_DIRECTORY) is the unit's alone, whatever
// its bits. The problem text, naming the file;
// empty when password was read.
[[nodiscard]] QString ReadPasswordFile(const QString& path, QString& password);
// The same rules for another secret's file; what names it in the problem
// text ("HTTP password file").
[[nodiscard]] QString ReadSecretFile(const QString& path, const QString& what, QString& password);

// mqtt://[user@]host[:port]; the problem text when it is not that.
[[nodiscard]] QString ParseMqttUrl(MqttConfig& mqtt, const QString& value);
// The URL ParseMqttUrl reads back: mqtt://[user@]host[:port].
[[nodiscard]] QString MqttUrl(const MqttConfig& mqtt);

// An MQTT topic level path: no wildcards, no empty levels at the ends.
[[nodiscard]] bool ValidTopic(const QString& topic);

} // namespace network

// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT settings of a board: its topics, and the password file, refused
// when others may read it, except in the credentials folder systemd keeps
// for the unit.
#include "network/mqttconfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

QString passwordFile(const QString& path, mode_t mode)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("secret\n");
    file.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
}

TEST(MqttTopicPrefix, IsTheBoardsUnderQmxv217UnlessOneIsGiven)
{
    EXPECT_EQ(network::DefaultTopicPrefix(QStringLiteral("tank")), QStringLiteral("qmxv217/tank"));
    network::MqttConfig mqtt;
    EXPECT_EQ(mqtt.topicPrefixFor(QStringLiteral("tank")), QStringLiteral("qmxv217/tank"));
    mqtt.topicPrefix = QStringLiteral("home/pump");
    EXPECT_EQ(mqtt.topicPrefixFor(QStringLiteral("tank")), QStringLiteral("home/pump"));
}

TEST(MqttInputEvents, AreOffUntilTheKeySaysOn)
{
    const auto same = [](const QString& path) { return path; };
    network::MqttConfig mqtt;
    EXPECT_FALSE(mqtt.inputEvents);
    EXPECT_TRUE(network::MqttKeys().contains(QStringLiteral("mqtt-input-events")));
    EXPECT_TRUE(network::SetMqttOption(mqtt, "mqtt-input-events", "on", same).isEmpty());
    EXPECT_TRUE(mqtt.inputEvents);
    EXPECT_EQ(network::SetMqttOption(mqtt, "mqtt-input-events", "yes", same),
              QStringLiteral("mqtt-input-events 'yes' is not on or off"));
    EXPECT_TRUE(mqtt.inputEvents);
    EXPECT_TRUE(network::SetMqttOption(mqtt, "mqtt-input-events", "off", same).isEmpty());
    EXPECT_FALSE(mqtt.inputEvents);
    EXPECT_TRUE(mqtt.discovery);
}

TEST(MqttPasswordFile, OpenToOthersIsRefusedButTheUnitsCredentialsFolderIsTrusted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("credentials")));
    const QString credentials = dir.filePath(QStringLiteral("credentials"));
    // systemd lends a credential to a dynamic user through an ACL, which
    // shows as the group's read bit.
    const QString lent = passwordFile(credentials + QStringLiteral("/mqtt-password"), 0440);
    const QString outside = passwordFile(dir.filePath(QStringLiteral("mqtt-password")), 0640);
    const QString linked = credentials + QStringLiteral("/linked");
    ASSERT_TRUE(QFile::link(outside, linked));
    const QString own = passwordFile(dir.filePath(QStringLiteral("own")), 0600);

    QString password;
    ::unsetenv("CREDENTIALS_DIRECTORY");
    EXPECT_EQ(network::ReadPasswordFile(lent, password),
              QStringLiteral("the MQTT password file %1 is open to other users (mode 0440); it "
                             "is not used: chmod 600 %1")
                  .arg(lent));
    EXPECT_TRUE(network::ReadPasswordFile(own, password).isEmpty());
    EXPECT_EQ(password, QStringLiteral("secret"));

    ::setenv("CREDENTIALS_DIRECTORY", QFile::encodeName(credentials).constData(), 1);
    password.clear();
    EXPECT_TRUE(network::ReadPasswordFile(lent, password).isEmpty());
    EXPECT_EQ(password, QStringLiteral("secret"));
    // Only what really lies in the folder: not a link out of it, nor a file
    // beside it.
    EXPECT_FALSE(network::ReadPasswordFile(linked, password).isEmpty());
    EXPECT_FALSE(network::ReadPasswordFile(outside, password).isEmpty());
    ::unsetenv("CREDENTIALS_DIRECTORY");
}

} // namespace

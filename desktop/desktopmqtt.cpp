// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/desktopmqtt.h"

#include "common/clock.h"
#include "common/folders.h"
#include "common/keyvaluefile.h"
#include "common/savefile.h"
#include "common/view.h"
#include "network/boardname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

namespace network {

namespace {

// A few hundred bytes in practice; anything far larger is no settings file.
constexpr qint64 kMaxFileBytes = 64 * 1024;

const QString kEnabled = QStringLiteral("enabled");
const QString kName = QStringLiteral("name");

bool oneLine(const QString& text)
{
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

// A value keeps its outer spaces only where the file reads it back so.
bool keepsAsIs(const QString& text)
{
    return oneLine(text) && text.trimmed() == text;
}

} // namespace

QString DesktopMqttSettings::boardName() const
{
    return name.isEmpty() ? DefaultBoardName() : name;
}

QString DesktopMqttSettings::topicPrefix() const
{
    return mqtt.topicPrefixFor(boardName());
}

QString DesktopMqttSettings::clientId() const
{
    return mqtt.clientId.isEmpty() ? DefaultClientId() : mqtt.clientId;
}

QString MqttSettingsFile()
{
    return ConfigFolder() + QStringLiteral("/mqtt.conf");
}

QString DefaultBoardName()
{
    return HostBoardName(QSysInfo::machineHostName());
}

QString DefaultClientId()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QDir::home().dirName();
    return (QStringLiteral("qmxv217-") + user + QLatin1Char('@') + QSysInfo::machineHostName())
        .left(64);
}

std::variant<DesktopMqttSettings, QString> ReadMqttSettings(const QString& path)
{
    if (!QFile::exists(path))
        return DesktopMqttSettings{};
    if (!QFileInfo(path).isFile())
        return path + QStringLiteral(": is not a file");
    std::variant<QByteArray, QString> text = keyvalue::ReadFile(path, kMaxFileBytes);
    if (const QString* problem = std::get_if<QString>(&text))
        return path + QStringLiteral(": ") + *problem;
    return ParseMqttSettings(path, std::get<QByteArray>(text));
}

std::variant<DesktopMqttSettings, QString> ParseMqttSettings(const QString& path,
                                                             const QByteArray& text)
{
    const QString folder = QFileInfo(path).absolutePath();
    const auto absolute = [&](const QString& name) {
        return QDir::cleanPath(QDir(folder).absoluteFilePath(name));
    };
    DesktopMqttSettings settings;
    // A NUL byte is taken into the value as it stands.
    const keyvalue::Contents contents =
        keyvalue::Parse(text, keyvalue::Syntax{.section = {}, .refuseNul = false});
    const auto at = [&](int line, const QString& problem) {
        return QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(problem);
    };
    for (const keyvalue::Entry& entry : contents.entries) {
        const auto fault = [&](const QString& problem) { return at(entry.line, problem); };
        const QString& key = entry.key;
        const QString& value = entry.value;
        if (key != kEnabled && key != kName && !MqttKeys().contains(key))
            return fault(QStringLiteral("unknown key '%1'").arg(entry.name));
        if (key == kEnabled) {
            if (value != QStringLiteral("on") && value != QStringLiteral("off"))
                return fault(QStringLiteral("enabled '%1' is not on or off").arg(value));
            settings.enabled = value == QStringLiteral("on");
        } else if (key == kName) {
            if (!ValidBoardName(value))
                return fault(QStringLiteral("name '%1' is not %2").arg(value, kBoardNameRule));
            settings.name = value;
        } else if (const QString problem = SetMqttOption(settings.mqtt, key, value, absolute);
                   !problem.isEmpty()) {
            return fault(problem);
        }
    }
    if (contents.fault)
        return at(contents.fault->line, contents.fault->problem);
    const auto whole = [&](const QString& problem) {
        return path + QStringLiteral(": ") + problem;
    };
    if (settings.enabled && !settings.mqtt.enabled())
        return whole(
            QStringLiteral("enabled = on needs the broker, mqtt = mqtt://[user@]host[:port]"));
    if (!settings.mqtt.password.isEmpty() && !settings.mqtt.passwordFile.isEmpty())
        return whole(QStringLiteral("both mqtt-password and mqtt-password-file"));
    return settings;
}

QByteArray MqttSettingsText(const DesktopMqttSettings& s)
{
    QStringList lines{
        QStringLiteral("# MQTT of the QMX V217 desktop program, set in Port > MQTT."),
        QStringLiteral("enabled = ") + (s.enabled ? QStringLiteral("on") : QStringLiteral("off")),
    };
    const auto add = [&](const QString& key, const QString& value) {
        if (!value.isEmpty())
            lines.append(key + QStringLiteral(" = ") + value);
    };
    add(kName, s.name);
    if (s.mqtt.enabled())
        add(QStringLiteral("mqtt"), MqttUrl(s.mqtt));
    add(QStringLiteral("mqtt-password"), s.mqtt.password);
    add(QStringLiteral("mqtt-password-file"), s.mqtt.passwordFile);
    add(QStringLiteral("mqtt-client-id"), s.mqtt.clientId);
    add(QStringLiteral("mqtt-ca-file"), s.mqtt.caFile);
    add(QStringLiteral("mqtt-topic-prefix"), s.mqtt.topicPrefix);
    add(QStringLiteral("mqtt-discovery-prefix"), s.mqtt.discoveryPrefix);
    add(QStringLiteral("mqtt-discovery"),
        s.mqtt.discovery ? QStringLiteral("on") : QStringLiteral("off"));
    // Off is the default, and files written before the key stay as they were.
    if (s.mqtt.inputEvents)
        add(QStringLiteral("mqtt-input-events"), QStringLiteral("on"));
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QString CheckMqttSettings(const DesktopMqttSettings& s)
{
    static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    static const QRegularExpression user(QStringLiteral("^[^@:/\\s]+$"));
    const MqttConfig& m = s.mqtt;
    if (s.enabled && m.host.isEmpty())
        return QStringLiteral("Give the broker's host to turn MQTT on.");
    if (!m.host.isEmpty() && !host.match(m.host).hasMatch())
        return QStringLiteral("The broker's host '%1' is not a name or an address.").arg(m.host);
    if (m.port < 1 || m.port > 65535)
        return QStringLiteral("The broker's port is not 1 to 65535.");
    if (!m.user.isEmpty() && !user.match(m.user).hasMatch())
        return QStringLiteral("The user name holds a space, '@', ':' or '/'.");
    if (!m.user.isEmpty() && m.host.isEmpty())
        return QStringLiteral("A user name needs the broker's host.");
    if (!keepsAsIs(m.password))
        return QStringLiteral("The password begins or ends with a space or holds a line break.");
    if (!m.password.isEmpty() && !m.passwordFile.isEmpty())
        return QStringLiteral("Give the password or a password file, not both.");
    for (const QString* path : {&m.passwordFile, &m.caFile})
        if (!keepsAsIs(*path) || (!path->isEmpty() && !QDir::isAbsolutePath(*path)))
            return QStringLiteral("The file '%1' is not an absolute path.").arg(*path);
    if (!s.name.isEmpty() && !ValidBoardName(s.name))
        return QStringLiteral("The name '%1' is not %2.").arg(s.name, kBoardNameRule);
    if (!m.clientId.isEmpty() && (m.clientId.size() > 64 || !keepsAsIs(m.clientId)))
        return QStringLiteral("The client id is not 1 to 64 characters without outer spaces.");
    if (!m.topicPrefix.isEmpty() && !ValidTopic(m.topicPrefix))
        return QStringLiteral(
                   "The topic prefix '%1' is not a topic without '+', '#' and outer '/'.")
            .arg(m.topicPrefix);
    if (!ValidTopic(m.discoveryPrefix))
        return QStringLiteral(
                   "The discovery prefix '%1' is not a topic without '+', '#' and outer '/'.")
            .arg(m.discoveryPrefix);
    return {};
}

DesktopMqtt::DesktopMqtt(board::PollCycle& poll, RelayRequest requestRelays, View& view,
                         const Clock& clock, QString file, std::function<bool()> startedUp)
    : m_poll(poll), m_requestRelays(std::move(requestRelays)), m_view(view), m_clock(clock),
      m_file(std::move(file)), m_startedUp(std::move(startedUp))
{
    m_tick.setInterval(kCheckPeriod);
    QObject::connect(&m_tick, &QTimer::timeout, &m_tick, [this] { tick(); });
}

DesktopMqtt::~DesktopMqtt()
{
    stop();
}

void DesktopMqtt::load()
{
    std::variant<DesktopMqttSettings, QString> read = ReadMqttSettings(m_file);
    if (const QString* problem = std::get_if<QString>(&read)) {
        m_fileProblem = *problem;
        m_problemTold = false;
        addLog(*problem);
        m_tick.start();
        changed();
        return;
    }
    m_settings = std::get<DesktopMqttSettings>(read);
    if (m_settings.enabled)
        start();
}

bool DesktopMqtt::save(const DesktopMqttSettings& settings, QString& problem)
{
    problem = CheckMqttSettings(settings);
    if (!problem.isEmpty())
        return false;
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder) || IsLinkOrOthersFile(m_file) ||
        !ReplacePrivateFile(m_file, MqttSettingsText(settings))) {
        problem = QStringLiteral("The MQTT settings cannot be saved to %1.").arg(m_file);
        return false;
    }
    stop();
    m_settings = settings;
    m_fileProblem.clear();
    m_problemTold = true;
    if (m_settings.enabled)
        start();
    else
        changed();
    return true;
}

void DesktopMqtt::start()
{
    BoardLink::Hooks hooks;
    hooks.log = [this](BoardLink::Level, const QString& text) {
        addLog(text);
        if (m_link && !m_link->connected() && m_state == State::Connected)
            setState(State::Connecting);
    };
    hooks.connected = [this] { setState(State::Connected); };
    hooks.refused = [this](const QString& reason) { setState(State::Refused, reason); };
    m_link = std::make_unique<BoardLink>(
        m_settings.mqtt, m_settings.clientId(), m_settings.topicPrefix(), m_settings.boardName(),
        m_poll, m_requestRelays, [] { return true; }, std::move(hooks));
    m_link->setBoardSettings(m_boardSettings);
    setState(State::Connecting);
    m_tick.start();
    m_link->start();
}

void DesktopMqtt::stop()
{
    m_link.reset();
    m_state = State::Off;
}

void DesktopMqtt::tick()
{
    // The file's problem waits for the controller's start-up, whose own
    // boxes come first.
    if (!m_problemTold && m_startedUp()) {
        m_problemTold = true;
        m_view.showError(QStringLiteral("The MQTT settings cannot be used, so MQTT stays off:\r%1"
                                        "\rThe file is kept as it is until the settings are "
                                        "saved in Port > MQTT.")
                             .arg(m_fileProblem));
    }
    if (!m_link) {
        if (m_problemTold)
            m_tick.stop();
        return;
    }
    m_link->check();
}

void DesktopMqtt::messageShown(const QString& text)
{
    if (m_link)
        m_link->publishStatus(text);
}

void DesktopMqtt::setBoardSettings(const safety::BoardSettings& settings)
{
    m_boardSettings = settings;
    if (m_link)
        m_link->setBoardSettings(settings);
}

void DesktopMqtt::setState(State state, const QString& reason)
{
    m_state = state;
    if (state == State::Refused)
        m_refusal = reason;
    changed();
}

QString DesktopMqtt::stateText() const
{
    const QString broker =
        QStringLiteral("%1:%2").arg(m_settings.mqtt.host).arg(m_settings.mqtt.port);
    switch (m_state) {
    case State::Off:
        return m_fileProblem.isEmpty() ? QStringLiteral("Off")
                                       : QStringLiteral("Off: the settings file cannot be used");
    case State::Connecting:
        return QStringLiteral("Connecting to %1").arg(broker);
    case State::Connected:
        return QStringLiteral("Connected to %1").arg(broker);
    case State::Refused:
        return QStringLiteral("Refused by %1: %2").arg(broker, m_refusal);
    }
    return {};
}

void DesktopMqtt::addLog(const QString& text)
{
    m_log.append(m_clock.now().toString(QStringLiteral("HH:mm:ss ")) + text);
    if (m_log.size() > kLogLines)
        m_log.remove(0, m_log.size() - kLogLines);
    changed();
}

void DesktopMqtt::changed()
{
    if (m_onChanged)
        m_onChanged();
}

} // namespace network

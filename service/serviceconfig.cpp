// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/serviceconfig.h"

#include "common/keyvaluefile.h"
#include "network/boardname.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

namespace service {

namespace {

const QStringList kKeys =
    QStringList{
        QStringLiteral("name"),     QStringLiteral("port"),           QStringLiteral("project"),
        QStringLiteral("timers"),   QStringLiteral("rules"),          QStringLiteral("stop-state"),
        QStringLiteral("log-file"), QStringLiteral("board-settings"),
    } +
    network::MqttKeys();

// The service's own keys and the board settings' (start-state among them).
bool isKey(const QString& key)
{
    return kKeys.contains(key) || safety::IsBoardSettingsKey(key);
}

// A board name goes into every log line and names its log file.
bool validName(const QString& name)
{
    return network::ValidBoardName(name);
}

std::optional<Switch> parseSwitch(const QString& value)
{
    if (value == QStringLiteral("auto"))
        return Switch::Auto;
    if (value == QStringLiteral("on"))
        return Switch::On;
    if (value == QStringLiteral("off"))
        return Switch::Off;
    return std::nullopt;
}

std::optional<StopState> parseStopState(const QString& value)
{
    if (value == QStringLiteral("off"))
        return StopState::Off;
    if (value == QStringLiteral("keep"))
        return StopState::Keep;
    return std::nullopt;
}

bool validPort(const QString& value)
{
    static const QRegularExpression number(QStringLiteral("^[1-9]$"));
    return number.match(value).hasMatch() || value.startsWith(QLatin1Char('/'));
}

// Sets one option of a board from a line of its section (0: the command
// line); the problem text when the value is wrong.
QString setOption(BoardConfig& board, const QString& key, const QString& value,
                  const QString& baseFolder, int line)
{
    const auto absolute = [&](const QString& path) {
        return QDir::cleanPath(QDir(baseFolder).absoluteFilePath(path));
    };
    if (key == QStringLiteral("name")) {
        if (!validName(value))
            return QStringLiteral("name '%1' is not %2").arg(value, network::kBoardNameRule);
        board.name = value;
    } else if (key == QStringLiteral("port")) {
        if (!validPort(value))
            return QStringLiteral("port '%1' is neither a COM number 1 to 9 nor an absolute "
                                  "device path")
                .arg(value);
        board.port = value;
    } else if (key == QStringLiteral("project")) {
        if (value.isEmpty())
            return QStringLiteral("project is empty");
        board.project = absolute(value);
    } else if (key == QStringLiteral("timers") || key == QStringLiteral("rules")) {
        const std::optional<Switch> s = parseSwitch(value);
        if (!s)
            return QStringLiteral("%1 '%2' is not auto, on or off").arg(key, value);
        (key == QStringLiteral("timers") ? board.timers : board.rules) = *s;
    } else if (safety::IsBoardSettingsKey(key)) {
        if (QString problem = safety::SetBoardSetting(board.settings, key, value);
            !problem.isEmpty())
            return problem;
        board.settingLines.removeIf(
            [&](const BoardConfig::SettingLine& l) { return l.key == key; });
        board.settingLines.append({key, value, line});
    } else if (key == QStringLiteral("board-settings")) {
        if (value.isEmpty())
            return QStringLiteral("board-settings is empty");
        board.settingsFile = absolute(value);
        board.settingsFileLine = line;
    } else if (key == QStringLiteral("stop-state")) {
        const std::optional<StopState> s = parseStopState(value);
        if (!s)
            return QStringLiteral("stop-state '%1' is not off or keep").arg(value);
        board.stopState = *s;
    } else if (key == QStringLiteral("log-file")) {
        if (value.isEmpty())
            return QStringLiteral("log-file is empty");
        board.logFile = absolute(value);
    } else if (network::MqttKeys().contains(key)) {
        return network::SetMqttOption(board.mqtt, key, value, absolute);
    } else {
        return QStringLiteral("unknown key '%1'").arg(key);
    }
    return {};
}

// A key of the service's web panel; the problem text when its value is wrong.
QString setHttpOption(web::HttpConfig& http, const QString& key, const QString& value,
                      const QString& baseFolder)
{
    if (key == QStringLiteral("http"))
        return web::ParseHttpAddress(http, value);
    if (value.isEmpty())
        return QStringLiteral("http-password-file is empty");
    http.passwordFile = QDir::cleanPath(QDir(baseFolder).absoluteFilePath(value));
    return {};
}

// What every set of boards must hold, wherever it came from.
std::optional<ConfigError> checkBoards(const QList<BoardConfig>& boards)
{
    QHash<QString, const BoardConfig*> names;
    // What two boards on one broker must not share: the client id (the
    // broker would close one connection whenever the other connects), the
    // topics and the Home Assistant device.
    QHash<QString, const BoardConfig*> mqttNames;
    QSet<QString> ports;
    const auto where = [](const BoardConfig& b) {
        return b.line > 0 ? QStringLiteral(" (line %1)").arg(b.line) : QString();
    };
    for (const BoardConfig& b : boards) {
        if (b.port.isEmpty())
            return ConfigError{b.file, b.line,
                               QStringLiteral("board '%1' has no port").arg(b.name)};
        if (b.project.isEmpty())
            return ConfigError{b.file, b.line,
                               QStringLiteral("board '%1' has no project").arg(b.name)};
        if (const BoardConfig* first = names.value(b.name))
            return ConfigError{b.file, b.line,
                               QStringLiteral("a second board named '%1'%2: each board needs "
                                              "a name of its own, for its log lines, its log "
                                              "file and its MQTT topics")
                                   .arg(b.name, where(*first))};
        if (ports.contains(b.port))
            return ConfigError{
                b.file, b.line,
                QStringLiteral("board '%1' uses port %2 of another board").arg(b.name, b.port)};
        if (!b.mqtt.password.isEmpty() && !b.mqtt.passwordFile.isEmpty())
            return ConfigError{b.file, b.line,
                               QStringLiteral("board '%1' has both mqtt-password and "
                                              "mqtt-password-file")
                                   .arg(b.name)};
        const MqttConfig plain;
        if (!b.mqtt.enabled() &&
            (!b.mqtt.password.isEmpty() || !b.mqtt.passwordFile.isEmpty() ||
             !b.mqtt.clientId.isEmpty() || !b.mqtt.caFile.isEmpty() ||
             !b.mqtt.topicPrefix.isEmpty() || b.mqtt.discoveryPrefix != plain.discoveryPrefix ||
             !b.mqtt.discovery))
            return ConfigError{
                b.file, b.line,
                QStringLiteral("board '%1' has mqtt-* keys but no mqtt = URL").arg(b.name)};
        if (b.mqtt.enabled()) {
            const QString broker = QStringLiteral("%1:%2 ").arg(b.mqtt.host).arg(b.mqtt.port);
            const QString node = network::DiscoveryNodeId(b.name);
            const struct
            {
                QString what;
                QString value;
                QString key;
            } identities[] = {
                {QStringLiteral("client id"), b.clientId(), b.clientId()},
                {QStringLiteral("topic prefix"), b.topicPrefix(), b.topicPrefix()},
                {QStringLiteral("Home Assistant device"), node,
                 b.mqtt.discovery ? b.mqtt.discoveryPrefix + QLatin1Char('/') + node : QString()},
            };
            for (const auto& identity : identities) {
                if (identity.key.isEmpty())
                    continue;
                const QString key = broker + identity.what + QLatin1Char(' ') + identity.key;
                if (const BoardConfig* first = mqttNames.value(key))
                    return ConfigError{
                        b.file, b.line,
                        QStringLiteral("boards '%1'%2 and '%3' have one MQTT %4 (%5) on %6: "
                                       "give each its own")
                            .arg(first->name, where(*first), b.name, identity.what, identity.value,
                                 broker.trimmed())};
                mqttNames.insert(key, &b);
            }
        }
        names.insert(b.name, &b);
        ports.insert(b.port);
    }
    return std::nullopt;
}

} // namespace

std::optional<int> BoardConfig::comNumber() const
{
    if (port.size() == 1 && port.at(0).isDigit())
        return port.toInt();
    return std::nullopt;
}

QString BoardConfig::topicPrefix() const
{
    return mqtt.topicPrefixFor(name);
}

QString BoardConfig::clientId() const
{
    return mqtt.clientId.isEmpty() ? QStringLiteral("qmxv217d-") + name : mqtt.clientId;
}

QString ConfigError::text() const
{
    if (file.isEmpty())
        return problem;
    if (line <= 0)
        return file + QStringLiteral(": ") + problem;
    return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(problem);
}

std::variant<Options, ConfigError> ParseCommandLine(const QStringList& arguments)
{
    Options options;
    BoardConfig board;
    bool named = false;
    bool boardOptions = false;
    bool scheduleOptions = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        std::optional<QString> inlineValue;
        if (arg.startsWith(QStringLiteral("--")) && arg.contains(QLatin1Char('='))) {
            inlineValue = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
        }
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            options.help = true;
            continue;
        }
        if (arg == QStringLiteral("--version")) {
            options.version = true;
            continue;
        }
        if (arg == QStringLiteral("--print-schedule")) {
            options.printSchedule = true;
            continue;
        }
        if (arg == QStringLiteral("--records")) {
            options.scheduleRecords = true;
            scheduleOptions = true;
            continue;
        }
        const QString key = arg.mid(2);
        if (arg.startsWith(QStringLiteral("--")) && web::IsHttpKey(key)) {
            if (!inlineValue && i + 1 >= arguments.size())
                return ConfigError{{}, 0, QStringLiteral("option %1 needs a value").arg(arg)};
            const QString value = inlineValue ? *inlineValue : arguments.at(++i);
            const QString problem = setHttpOption(options.http, key, value, QDir::currentPath());
            if (!problem.isEmpty())
                return ConfigError{{}, 0, QStringLiteral("option %1: %2").arg(arg, problem)};
            options.httpGiven = true;
            continue;
        }
        const bool scheduleKey = key == QStringLiteral("from") || key == QStringLiteral("days");
        if (!arg.startsWith(QStringLiteral("--")) ||
            (key != QStringLiteral("config") && !scheduleKey && !isKey(key)))
            return ConfigError{{}, 0, QStringLiteral("unknown option '%1' (see --help)").arg(arg)};
        if (key == QStringLiteral("mqtt-password"))
            return ConfigError{{},
                               0,
                               QStringLiteral("--mqtt-password would show in the process list: "
                                              "give --mqtt-password-file")};
        QString value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= arguments.size())
                return ConfigError{{}, 0, QStringLiteral("option %1 needs a value").arg(arg)};
            value = arguments.at(++i);
        }
        if (key == QStringLiteral("from")) {
            options.scheduleFrom = QDate::fromString(value, Qt::ISODate);
            if (!options.scheduleFrom.isValid())
                return ConfigError{
                    {},
                    0,
                    QStringLiteral("option --from: '%1' is no date (YYYY-MM-DD)").arg(value)};
            scheduleOptions = true;
            continue;
        }
        if (key == QStringLiteral("days")) {
            bool ok = false;
            options.scheduleDays = value.toInt(&ok);
            if (!ok || options.scheduleDays < 1 || options.scheduleDays > 366)
                return ConfigError{
                    {}, 0, QStringLiteral("option --days: '%1' is not 1 to 366").arg(value)};
            scheduleOptions = true;
            continue;
        }
        if (key == QStringLiteral("config")) {
            if (value.isEmpty())
                return ConfigError{{}, 0, QStringLiteral("option --config needs a file")};
            options.configFile = QFileInfo(value).absoluteFilePath();
            continue;
        }
        const QString problem = setOption(board, key, value, QDir::currentPath(), 0);
        if (!problem.isEmpty())
            return ConfigError{{}, 0, QStringLiteral("option %1: %2").arg(arg, problem)};
        boardOptions = true;
        named = named || key == QStringLiteral("name");
    }
    if (options.help || options.version)
        return options;
    if (scheduleOptions && !options.printSchedule)
        return ConfigError{
            {}, 0, QStringLiteral("--from, --days and --records go with --print-schedule")};
    if (options.printSchedule) {
        if (board.project.isEmpty() || !options.configFile.isEmpty())
            return ConfigError{
                {}, 0, QStringLiteral("--print-schedule needs --project FILE (see --help)")};
        options.boards.append(board);
        return options;
    }
    if (!options.configFile.isEmpty()) {
        if (boardOptions)
            return ConfigError{{},
                               0,
                               QStringLiteral("--config goes alone: the board options belong in "
                                              "the file")};
        return options;
    }
    if (board.port.isEmpty() || board.project.isEmpty())
        return ConfigError{
            {}, 0, QStringLiteral("give --port and --project, or --config (see --help)")};
    if (!named)
        board.name = network::PortBoardName(QSysInfo::machineHostName(), board.port);
    if (const std::optional<ConfigError> error = checkBoards({board}))
        return *error;
    options.boards.append(board);
    return options;
}

std::variant<QList<BoardConfig>, ConfigError> ReadConfigFile(const QString& path,
                                                             web::HttpConfig* http)
{
    std::variant<QByteArray, QString> text = keyvalue::ReadFile(path, std::nullopt);
    if (const QString* problem = std::get_if<QString>(&text))
        return ConfigError{path, 0, *problem};
    return ParseConfigText(path, std::get<QByteArray>(text), http);
}

std::variant<QList<BoardConfig>, ConfigError>
ParseConfigText(const QString& path, const QByteArray& text, web::HttpConfig* http)
{
    const QString folder = QFileInfo(path).absolutePath();
    QList<BoardConfig> boards;
    web::HttpConfig general;
    const keyvalue::Contents contents =
        keyvalue::Parse(text, keyvalue::Syntax{QStringLiteral("board")});
    for (const keyvalue::Entry& entry : contents.entries) {
        const auto fault = [&](const QString& problem) {
            return ConfigError{path, entry.line, problem};
        };
        if (entry.isSection) {
            if (!validName(entry.name))
                return fault(QStringLiteral("board name '%1' is not %2")
                                 .arg(entry.name, network::kBoardNameRule));
            BoardConfig board;
            board.name = entry.name;
            board.file = path;
            board.line = entry.line;
            boards.append(board);
            continue;
        }
        if (web::IsHttpKey(entry.key)) {
            if (!boards.isEmpty())
                return fault(QStringLiteral("'%1' is a key of the whole service: it stands "
                                            "before the first [board] section")
                                 .arg(entry.key));
            const QString problem = setHttpOption(general, entry.key, entry.value, folder);
            if (!problem.isEmpty())
                return fault(problem);
            continue;
        }
        if (boards.isEmpty())
            return fault(
                QStringLiteral("'%1' stands before the first [board] section").arg(entry.name));
        if (!isKey(entry.key))
            return fault(QStringLiteral("unknown key '%1'").arg(entry.name));
        const QString problem =
            setOption(boards.last(), entry.key, entry.value, folder, entry.line);
        if (!problem.isEmpty())
            return fault(problem);
    }
    if (contents.fault)
        return ConfigError{path, contents.fault->line, contents.fault->problem};
    if (boards.isEmpty())
        return ConfigError{path, 0, QStringLiteral("no [board] section")};
    if (const std::optional<ConfigError> error = checkBoards(boards))
        return *error;
    if (http)
        *http = general;
    return boards;
}

std::optional<ConfigError> ReadBoardSettings(BoardConfig& board)
{
    if (board.settingsFile.isEmpty())
        return std::nullopt;
    const QString& path = board.settingsFile;
    const auto here = [&](int line, const QString& problem) {
        return ConfigError{board.file, line, problem};
    };
    if (!QFileInfo::exists(path))
        return here(board.settingsFileLine,
                    QStringLiteral("board '%1': the board-settings file %2 does not exist")
                        .arg(board.name, path));
    std::variant<safety::BoardSettings, QString> read = safety::ReadBoardSettingsFile(path);
    if (const QString* problem = std::get_if<QString>(&read))
        return ConfigError{{}, 0, *problem};
    // Where the file sets each key, to name both places of a key set twice.
    std::variant<QByteArray, QString> text = keyvalue::ReadFile(path, safety::kLargestSettingsFile);
    if (const QString* problem = std::get_if<QString>(&text))
        return ConfigError{path, 0, *problem};
    QHash<QString, int> fileLines;
    for (const keyvalue::Entry& entry :
         keyvalue::Parse(std::get<QByteArray>(text), keyvalue::Syntax{}).entries)
        fileLines.insert(entry.key, entry.line);
    safety::BoardSettings settings = std::get<safety::BoardSettings>(read);
    for (const BoardConfig::SettingLine& own : std::as_const(board.settingLines)) {
        if (const auto at = fileLines.constFind(own.key); at != fileLines.cend())
            return here(own.line,
                        (board.file.isEmpty()
                             ? QStringLiteral("option --%1 is set both on the command line and "
                                              "in %2:%3; set it in one place")
                             : QStringLiteral("%1 is set both here and in %2:%3; set it in one "
                                              "place"))
                            .arg(own.key, path)
                            .arg(*at));
        // Checked as the section was read.
        (void)safety::SetBoardSetting(settings, own.key, own.value);
    }
    board.settings = settings;
    return std::nullopt;
}

QString SafetySummary(const safety::BoardSettings& settings)
{
    QStringList parts;
    if (!settings.interlocks.isEmpty()) {
        QStringList groups;
        for (const quint16 group : settings.interlocks)
            groups.append(safety::GroupText(group));
        parts.append(
            QStringLiteral("interlock %1 dead time %2")
                .arg(groups.join(QLatin1Char(' ')), safety::DurationText(settings.deadTime)));
    }
    for (int relay = 0; relay < safety::kRelays; ++relay) {
        const safety::Duration limit = settings.maxOn.at(static_cast<std::size_t>(relay));
        if (limit != safety::Duration::zero())
            parts.append(QStringLiteral("relay %1 max on-time %2")
                             .arg(settings.relayLabel(relay), safety::DurationText(limit)));
    }
    for (int input = 0; input < safety::kInputs; ++input) {
        const int reads = settings.debounce.at(static_cast<std::size_t>(input));
        if (reads != 1)
            parts.append(QStringLiteral("input %1 debounce %2 reads")
                             .arg(settings.inputLabel(input))
                             .arg(reads));
    }
    return parts.join(QStringLiteral("; "));
}

QString HelpText()
{
    return QStringLiteral(
        R"(Usage: qmxv217d --port N|PATH --project FILE [board options]
       qmxv217d --config FILE
       qmxv217d --print-schedule --project FILE [--from DATE] [--days N]
                [--records]

Runs V217 relay boards unattended: opens each port, loads its project,
switches TIMERS and INPUT RULES on as the project has records and rules,
activates, and polls the board every 0.2 seconds as the desktop program
does. A board that falls silent, answers invalid data or disappears is
activated again by itself with the relays it last confirmed, after 0.5 s
doubling up to 30 s while it does not answer; a device that is gone is
opened again as soon as it is back.

Options:
  --config FILE        the boards of a configuration file, one [name]
                       section each holding the keys below
  --port N|PATH        COM number 1 to 9 or a device path
                       (/dev/serial/by-id/...)
  --project FILE       the project (*.iom) to run
  --name NAME          the board's name in log lines, its log file and
                       its MQTT topics (default: <host>-com<N>, or
                       <host>-<device file name> for a device path)
  --timers auto|on|off TIMERS at start (auto: on when there are records)
  --rules auto|on|off  INPUT RULES at start (auto: on when there are rules)
  --start-state off|HHHH|last|schedule
                       the relays of the first relay write: a hex word,
                       the word the board last confirmed (kept in
                       <state folder>/<name>.relays), or what the timer
                       records switch on at that moment
  --stop-state off|keep   what SIGTERM/SIGINT leave: all relays off, or
                          the relays as they are
  --log-file FILE      where log runs are appended (default:
                       <state folder>/<name>.log)
  --mqtt mqtt[s]://[USER@]HOST[:PORT]
                       publish the board on an MQTT broker and take its
                       commands (port 1883 by default; mqtts: TLS, 8883)
  --mqtt-password-file FILE  the broker password, the file's first line
  --mqtt-client-id ID  the client id (default: qmxv217d-<name>)
  --mqtt-ca-file FILE  TLS, the broker's certificate signed by this CA
  --mqtt-topic-prefix P  the board's topics (default: qmxv217/<name>)
  --mqtt-discovery-prefix P  Home Assistant discovery (default:
                       homeassistant)
  --mqtt-discovery on|off  announce the board to Home Assistant
  --mqtt-input-events on|off  publish each input's press and release
                       as Home Assistant event entities (off)
  --board-settings FILE  the board's settings below from a file of
                       their own (key = value lines); a key may not be
                       set both there and here
  --relay-NN-name NAME   relay NN (01 to 16) in log lines, as 05 (Pump)
  --input-N-name NAME    input N (1 to 6) likewise
  --interlock "01,02 03,04,05"
                       groups of relays never on together: a relay of a
                       group that is on stays on, the lowest asked wins
  --interlock-dead-time T  the pause after a relay of a group goes off
                       before another goes on (default 200ms; up to 1min)
  --relay-NN-max-on T  the longest relay NN stays on (200ms to 168h); it
                       goes off then until it is asked on again
  --input-N-debounce K   K equal reads (1 to 100) before input N changes
                       (durations T as 500ms, 0.5s, 20min or 2h)
  --print-schedule     print what the project's timer records will switch
                       as CSV (relay, on, off, the records that switched
                       it on and off; local times with their UTC offset)
                       and exit; needs no board
  --records            with --print-schedule: the records' own windows
                       instead (relay, record, on, off, toggle seconds)
  --from DATE          the first day of the schedule (YYYY-MM-DD; today)
  --days N             the days of the schedule (1 to 366; 7)
  --http ADDR:PORT     serve the web panel and its HTTP API there
                       (127.0.0.1:8217; off by default); beyond the
                       loopback address only with a password file
  --http-password-file FILE  the web panel's password, the file's first
                       line (owner-only, as the MQTT password file)
  --help               this text
  --version            the version

Example: blind motor up and down on relays 01 and 02, never on together,
half a second apart; a pump on relay 05 that runs 20 minutes at most:
  qmxv217d --port 3 --project blinds.iom --relay-01-name="Blind up" \
      --relay-02-name="Blind down" --interlock=01,02 \
      --interlock-dead-time=0.5s --relay-05-name=Pump \
      --relay-05-max-on=20min

Signals: SIGTERM and SIGINT stop (within 1 s), SIGHUP reloads the
configuration and the projects. SIGHUP and SIGUSR1 reopen the log files
after a rotation. Exit status 1 after a stop in which a board did not
confirm its all-off command (relays may still be on), 2 for a bad option,
configuration or project.
)");
}

} // namespace service

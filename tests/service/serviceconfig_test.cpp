// SPDX-License-Identifier: GPL-3.0-or-later
// The service's command line and configuration file: what they set, and the
// file, line and problem of each fault.
#include "network/boardname.h"
#include "service/serviceconfig.h"

#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using service::BoardConfig;
using service::ConfigError;
using service::Options;

std::variant<QList<BoardConfig>, ConfigError> parse(const char* text)
{
    return service::ParseConfigText(QStringLiteral("/etc/qmxv217/qmxv217d.conf"), text);
}

TEST(ServiceConfig, FileSetsEveryBoardWithPathsFromItsFolder)
{
    const auto parsed = parse("# the greenhouse\n"
                              "[tank]\r\n"
                              "port = /dev/serial/by-id/usb-FTDI-port0\n"
                              "project = tank.iom\n"
                              "timers = off\n"
                              "start-state = 80ff\n"
                              "stop-state = keep\n"
                              "\n"
                              "; second board\n"
                              "[pump]\n"
                              "Port = 3\n"
                              "project = /srv/pump.iom\n"
                              "rules = on\n"
                              "log-file = logs/pump.log\n");
    ASSERT_TRUE(std::holds_alternative<QList<BoardConfig>>(parsed))
        << std::get<ConfigError>(parsed).text().toStdString();
    const QList<BoardConfig> boards = std::get<QList<BoardConfig>>(parsed);
    ASSERT_EQ(boards.size(), 2);
    const BoardConfig& tank = boards.at(0);
    EXPECT_EQ(tank.name, QStringLiteral("tank"));
    EXPECT_EQ(tank.line, 2);
    EXPECT_EQ(tank.comNumber(), std::nullopt);
    EXPECT_EQ(tank.project, QStringLiteral("/etc/qmxv217/tank.iom"));
    EXPECT_EQ(tank.timers, service::Switch::Off);
    EXPECT_EQ(tank.rules, service::Switch::Auto);
    EXPECT_EQ(tank.settings.startState,
              (safety::StartState{safety::StartState::Mode::Word, 0x80FF}));
    EXPECT_EQ(tank.stopState, service::StopState::Keep);
    const BoardConfig& pump = boards.at(1);
    EXPECT_EQ(pump.comNumber(), 3);
    EXPECT_EQ(pump.rules, service::Switch::On);
    EXPECT_EQ(pump.settings.startState, std::nullopt);
    EXPECT_EQ(pump.stopState, service::StopState::Off);
    EXPECT_EQ(pump.logFile, QStringLiteral("/etc/qmxv217/logs/pump.log"));
}

TEST(ServiceConfig, EachBadLineIsReportedWithItsNumber)
{
    const struct
    {
        const char* text;
        int line;
        const char* problem;
    } cases[] = {
        {"port = 3\n", 1, "before the first [board] section"},
        {"[a]\nport = 3\nproject = a.iom\nspeed = 9600\n", 4, "unknown key 'speed'"},
        {"[a]\nport 3\n", 2, "expected 'key = value'"},
        {"[a]\nport = 0\n", 2, "neither a COM number"},
        {"[a]\nport = ttyUSB0\n", 2, "neither a COM number"},
        {"[a]\nstart-state = 12345\n", 2, "start-state '12345'"},
        {"[a]\nstart-state = 12G4\n", 2, "start-state '12G4'"},
        {"[a]\nstop-state = on\n", 2, "stop-state 'on'"},
        {"[a]\ntimers = yes\n", 2, "timers 'yes' is not auto, on or off"},
        {"[a]\nport = 3\nport = 4\n", 3, "set twice"},
        {"[a b]\n", 1, "board name 'a b'"},
        {"[a\n", 1, "ends with ']'"},
        {"[a]\nport = 3\nproject = a.iom\n\n[b]\nproject = b.iom\n", 5, "board 'b' has no port"},
        {"[a]\nport = 3\nproject = a.iom\n[a]\nport = 4\nproject = b.iom\n", 4,
         "a second board named 'a' (line 1): each board needs a name of its own"},
        {"[a]\nport = 3\nproject = a.iom\n[b]\nport = 3\nproject = b.iom\n", 4,
         "uses port 3 of another board"},
        {"[a]\nproject = \xff\n", 2, "not UTF-8"},
        {"# nothing\n", 0, "no [board] section"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = parse(c.text);
        ASSERT_TRUE(std::holds_alternative<ConfigError>(parsed));
        const ConfigError& error = std::get<ConfigError>(parsed);
        EXPECT_EQ(error.line, c.line);
        EXPECT_TRUE(error.problem.contains(QString::fromUtf8(c.problem)))
            << error.problem.toStdString();
        const QString prefix = c.line > 0
                                   ? QStringLiteral("/etc/qmxv217/qmxv217d.conf:%1: ").arg(c.line)
                                   : QStringLiteral("/etc/qmxv217/qmxv217d.conf: ");
        EXPECT_TRUE(error.text().startsWith(prefix)) << error.text().toStdString();
    }
}

TEST(ServiceConfig, ANulByteIsRefusedBeforeItCanCutAPathShort)
{
    const char raw[] = "[a]\nproject = a.iom\nport = /dev/ttyUSB0\0/../ttyS0\n";
    const auto parsed = service::ParseConfigText(QStringLiteral("/etc/qmxv217/qmxv217d.conf"),
                                                 QByteArray(raw, sizeof raw - 1));
    ASSERT_TRUE(std::holds_alternative<ConfigError>(parsed));
    EXPECT_EQ(std::get<ConfigError>(parsed).text(),
              QStringLiteral("/etc/qmxv217/qmxv217d.conf:3: the line holds a NUL byte, which no "
                             "path or value may"));
}

TEST(ServiceConfig, CommandLineNamesOneBoardOrAFile)
{
    const auto one = service::ParseCommandLine(
        {"--port", "/dev/ttyUSB0", "--project=/srv/tank.iom", "--stop-state", "keep"});
    ASSERT_TRUE(std::holds_alternative<Options>(one));
    const Options& options = std::get<Options>(one);
    ASSERT_EQ(options.boards.size(), 1);
    EXPECT_EQ(options.boards.first().name,
              network::PortBoardName(QSysInfo::machineHostName(), "/dev/ttyUSB0"));
    EXPECT_EQ(options.boards.first().port, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(options.boards.first().project, QStringLiteral("/srv/tank.iom"));
    EXPECT_EQ(options.boards.first().stopState, service::StopState::Keep);

    const auto file = service::ParseCommandLine({"--config", "/etc/qmxv217/qmxv217d.conf"});
    ASSERT_TRUE(std::holds_alternative<Options>(file));
    EXPECT_EQ(std::get<Options>(file).configFile, QStringLiteral("/etc/qmxv217/qmxv217d.conf"));
    EXPECT_TRUE(std::get<Options>(file).boards.isEmpty());

    const struct
    {
        QStringList arguments;
        const char* problem;
    } faults[] = {
        {{"--port"}, "option --port needs a value"},
        {{"--port", "3"}, "give --port and --project"},
        {{"--baud", "9600"}, "unknown option '--baud'"},
        {{"tank.iom"}, "unknown option 'tank.iom'"},
        {{"--config", "a.conf", "--port", "3"}, "--config goes alone"},
        {{"--port", "3", "--project", "a.iom", "--start-state", "on"}, "option --start-state"},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.problem);
        const auto parsed = service::ParseCommandLine(f.arguments);
        ASSERT_TRUE(std::holds_alternative<ConfigError>(parsed));
        EXPECT_TRUE(std::get<ConfigError>(parsed).text().contains(QString::fromUtf8(f.problem)))
            << std::get<ConfigError>(parsed).text().toStdString();
    }
}

TEST(ServiceConfig, MqttKeysSetTheBrokerAndRefuseWhatWouldLeakOrMislead)
{
    const auto parsed = parse("[tank]\nport = 3\nproject = t.iom\n"
                              "mqtt = mqtt://v217@broker.lan:8883\n"
                              "mqtt-password-file = secret\nmqtt-discovery = off\n"
                              "[pump]\nport = 4\nproject = p.iom\nmqtt = mqtt://localhost\n"
                              "[well]\nport = 5\nproject = w.iom\nmqtt = mqtts://broker.lan\n");
    ASSERT_TRUE(std::holds_alternative<QList<BoardConfig>>(parsed))
        << std::get<ConfigError>(parsed).text().toStdString();
    const QList<BoardConfig> boards = std::get<QList<BoardConfig>>(parsed);
    const service::MqttConfig& tank = boards.at(0).mqtt;
    EXPECT_EQ(tank.host, QStringLiteral("broker.lan"));
    EXPECT_EQ(tank.port, 8883);
    EXPECT_EQ(tank.user, QStringLiteral("v217"));
    EXPECT_EQ(tank.passwordFile, QStringLiteral("/etc/qmxv217/secret"));
    EXPECT_FALSE(tank.discovery);
    EXPECT_EQ(boards.at(0).topicPrefix(), QStringLiteral("qmxv217/tank"));
    EXPECT_EQ(boards.at(1).mqtt.port, 1883);
    EXPECT_TRUE(boards.at(1).mqtt.discovery);
    EXPECT_EQ(boards.at(1).mqtt.discoveryPrefix, QStringLiteral("homeassistant"));
    // A CA file switches TLS on for mqtt://; mqtts:// is TLS on port 8883.
    EXPECT_FALSE(tank.tls);
    EXPECT_TRUE(boards.at(2).mqtt.tls);
    EXPECT_EQ(boards.at(2).mqtt.port, 8883);

    struct Case
    {
        const char* lines;
        const char* problem;
    };
    const QList<Case> bad{
        {"mqtt = http://host\n", "4: mqtt is not mqtt[s]://[user@]host[:port]"},
        {"mqtt = mqtt://u:pw@host\n", "4: mqtt: the password goes in mqtt-password-file"},
        {"mqtt = mqtt://host:70000\n", "4: mqtt: port 70000 is not 1 to 65535"},
        {"mqtt-topic-prefix = a/#\n", "4: mqtt-topic-prefix 'a/#' is not a topic"},
        {"mqtt-discovery = yes\n", "4: mqtt-discovery 'yes' is not on or off"},
        {"mqtt-user = x\n", "4: unknown key 'mqtt-user'"},
        {"mqtt-client-id = a\n", "1: board 'b' has mqtt-* keys but no mqtt = URL"},
        {"mqtt = mqtt://h\nmqtt-password = p\nmqtt-password-file = f\n",
         "1: board 'b' has both mqtt-password and mqtt-password-file"},
    };
    for (const Case& c : bad) {
        SCOPED_TRACE(c.lines);
        const auto result =
            parse((QByteArray("[b]\nport = 3\nproject = p.iom\n") + c.lines).constData());
        ASSERT_TRUE(std::holds_alternative<ConfigError>(result));
        EXPECT_TRUE(std::get<ConfigError>(result).text().contains(QString::fromUtf8(c.problem)))
            << std::get<ConfigError>(result).text().toStdString();
    }

    const auto line = service::ParseCommandLine(
        {"--port", "3", "--project", "p.iom", "--mqtt", "mqtt://pi@10.0.0.2:1884"});
    ASSERT_TRUE(std::holds_alternative<Options>(line));
    EXPECT_EQ(std::get<Options>(line).boards.at(0).mqtt.host, QStringLiteral("10.0.0.2"));
    const auto leak = service::ParseCommandLine(
        {"--port", "3", "--project", "p.iom", "--mqtt", "mqtt://h", "--mqtt-password", "hunter2"});
    ASSERT_TRUE(std::holds_alternative<ConfigError>(leak));
    EXPECT_FALSE(std::get<ConfigError>(leak).text().contains(QStringLiteral("hunter2")));
    EXPECT_FALSE(service::HelpText().contains(QStringLiteral("--mqtt-password ")));
}

// The default itself is tested where it is made, in network/.
TEST(ServiceConfig, DefaultNameIsTheHostAndThePortAndAGivenNameStays)
{
    const auto name = [](const QStringList& arguments) {
        const auto parsed =
            service::ParseCommandLine(arguments + QStringList{"--project", "a.iom"});
        return std::get<Options>(parsed).boards.first().name;
    };
    EXPECT_EQ(name({"--port", "3"}), network::PortBoardName(QSysInfo::machineHostName(), "3"));
    EXPECT_EQ(name({"--port", "3", "--name", "tank"}), QStringLiteral("tank"));
}

TEST(ServiceConfig, TwoBoardsOnOneBrokerNeedTheirOwnClientIdTopicsAndDevice)
{
    const QByteArray a = "[a]\nport = 3\nproject = a.iom\nmqtt = mqtt://broker\n";
    const struct
    {
        QByteArray second;
        const char* problem;
    } cases[] = {
        {"[b]\nport = 4\nproject = b.iom\nmqtt = mqtt://broker\nmqtt-client-id = qmxv217d-a\n",
         "boards 'a' (line 1) and 'b' have one MQTT client id (qmxv217d-a) on broker:1883: "
         "give each its own"},
        {"[b]\nport = 4\nproject = b.iom\nmqtt = mqtt://broker\nmqtt-topic-prefix = qmxv217/a\n",
         "MQTT topic prefix (qmxv217/a)"},
        {"[a.]\nport = 4\nproject = b.iom\nmqtt = mqtt://broker\n",
         "MQTT Home Assistant device (qmxv217_a_)"},
    };
    const QByteArray underscore = "[a_]\nport = 3\nproject = a.iom\nmqtt = mqtt://broker\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        const auto parsed =
            parse(((c.second.startsWith("[a.]") ? underscore : a) + c.second).constData());
        ASSERT_TRUE(std::holds_alternative<ConfigError>(parsed));
        EXPECT_EQ(std::get<ConfigError>(parsed).line, 5);
        EXPECT_TRUE(std::get<ConfigError>(parsed).problem.contains(QString::fromUtf8(c.problem)))
            << std::get<ConfigError>(parsed).problem.toStdString();
    }
    // Each on a broker of its own, or without discovery, they do not meet.
    for (const QByteArray& second :
         {QByteArray(
              "[b]\nport = 4\nproject = b.iom\nmqtt = mqtt://other\nmqtt-client-id = qmxv217d-a\n"),
          QByteArray(
              "[a.]\nport = 4\nproject = b.iom\nmqtt = mqtt://broker\nmqtt-discovery = off\n")}) {
        const auto parsed =
            parse(((second.startsWith("[a.]") ? underscore : a) + second).constData());
        EXPECT_TRUE(std::holds_alternative<QList<BoardConfig>>(parsed))
            << std::get<ConfigError>(parsed).text().toStdString();
    }
}

} // namespace

namespace {

// A configuration file and a board-settings file beside it.
class BoardSettingsFiles : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& text)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return path;
    }
    // The configuration's one board, its settings file read.
    std::variant<BoardConfig, ConfigError> board(const QByteArray& section)
    {
        const QString conf = folder.filePath(QStringLiteral("qmxv217d.conf"));
        auto parsed =
            service::ParseConfigText(conf, "[blinds]\nport = 3\nproject = b.iom\n" + section);
        if (const ConfigError* error = std::get_if<ConfigError>(&parsed))
            return *error;
        BoardConfig only = std::get<QList<BoardConfig>>(parsed).constFirst();
        if (const std::optional<ConfigError> error = service::ReadBoardSettings(only))
            return *error;
        return only;
    }
    static QString fault(const std::variant<BoardConfig, ConfigError>& result)
    {
        const ConfigError* error = std::get_if<ConfigError>(&result);
        return error ? error->text() : QStringLiteral("no fault");
    }

    QTemporaryDir folder;
};

} // namespace

TEST_F(BoardSettingsFiles, EveryKeyIsTakenInTheSectionOnTheCommandLineAndFromTheFile)
{
    const QByteArray keys = "relay-01-name = Blind up\nrelay-02-name = Blind down\n"
                            "relay-05-name = Pump\nrelay-05-max-on = 20min\n"
                            "input-3-name = Float switch\ninput-3-debounce = 5\n"
                            "interlock = 01,02\ninterlock-dead-time = 0.5s\nstart-state = last\n";
    safety::BoardSettings expected;
    expected.relayNames.at(0) = QStringLiteral("Blind up");
    expected.relayNames.at(1) = QStringLiteral("Blind down");
    expected.relayNames.at(4) = QStringLiteral("Pump");
    expected.maxOn.at(4) = std::chrono::minutes(20);
    expected.inputNames.at(2) = QStringLiteral("Float switch");
    expected.debounce.at(2) = 5;
    expected.interlocks = {0x0003};
    expected.deadTime = std::chrono::milliseconds(500);
    expected.startState = safety::StartState{safety::StartState::Mode::Last, 0};

    const auto inSection = board(keys);
    ASSERT_TRUE(std::holds_alternative<BoardConfig>(inSection)) << fault(inSection).toStdString();
    EXPECT_EQ(std::get<BoardConfig>(inSection).settings, expected);

    // Relative to the configuration file's folder; the section adds its own.
    write(QStringLiteral("blinds.conf"), keys.left(keys.indexOf("input-3")));
    const auto fromFile = board("board-settings = blinds.conf\ninput-3-name = Float switch\n"
                                "input-3-debounce = 5\ninterlock = 01,02\n"
                                "interlock-dead-time = 500ms\nstart-state = last\n");
    ASSERT_TRUE(std::holds_alternative<BoardConfig>(fromFile)) << fault(fromFile).toStdString();
    EXPECT_EQ(std::get<BoardConfig>(fromFile).settingsFile, folder.filePath("blinds.conf"));
    EXPECT_EQ(std::get<BoardConfig>(fromFile).settings, expected);

    QStringList arguments{"--port", "3", "--project", "b.iom"};
    for (const QByteArray& line : keys.trimmed().split('\n')) {
        const QList<QByteArray> kv = line.split('=');
        arguments.append(QStringLiteral("--%1=%2").arg(QString::fromUtf8(kv.at(0).trimmed()),
                                                       QString::fromUtf8(kv.at(1).trimmed())));
    }
    const auto line = service::ParseCommandLine(arguments);
    ASSERT_TRUE(std::holds_alternative<Options>(line))
        << std::get<ConfigError>(line).text().toStdString();
    EXPECT_EQ(std::get<Options>(line).boards.at(0).settings, expected);
    // A fixed word as before, now kept with the other settings.
    const auto word = board("start-state = 0105\n");
    EXPECT_EQ(std::get<BoardConfig>(word).settings.startState,
              (safety::StartState{safety::StartState::Mode::Word, 0x0105}));
}

TEST_F(BoardSettingsFiles, FaultsNameTheirFileAndLineAndAKeySetTwiceNamesBothPlaces)
{
    const QString conf = folder.filePath(QStringLiteral("qmxv217d.conf"));
    const QString file = write(QStringLiteral("blinds.conf"),
                               "# the blinds\nrelay-01-name = Blind up\ninterlock = 01,02\n");
    const struct
    {
        QByteArray section;
        QString text;
    } cases[] = {
        {"relay-17-name = X\n", conf + ":4: relay-17-name names relay 17; the relays are 01 to 16"},
        {"relay-05-max-on = 5 years\n",
         conf + ":4: relay-05-max-on '5 years' is not a duration such as 500ms, 30s, 20min or 2h"},
        {"interlock = 01\n",
         conf + ":4: interlock group '01' has one relay; a group needs two or more"},
        {"input-7-debounce = 2\n", conf + ":4: input-7-debounce names input 7; the inputs are 1 "
                                          "to 6"},
        {"start-state = on\n",
         conf + ":4: start-state 'on' is not off, four hex digits, last or schedule"},
        {"board-settings = missing.conf\n",
         conf + QStringLiteral(":4: board 'blinds': the board-settings file %1 does not exist")
                    .arg(folder.filePath("missing.conf"))},
        {"board-settings = blinds.conf\ninterlock-dead-time = 1s\ninterlock = 03,04\n",
         conf + ":6: interlock is set both here and in " + file + ":3; set it in one place"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section.toStdString());
        EXPECT_EQ(fault(board(c.section)), c.text);
    }
    write(QStringLiteral("broken.conf"), "relay-01-name = Up\nrelay-02-max-on = soon\n");
    EXPECT_EQ(fault(board("board-settings = broken.conf\n")),
              folder.filePath("broken.conf") +
                  ":2: relay-02-max-on 'soon' is not a duration such as 500ms, 30s, 20min or 2h");

    // On the command line the file is relative to the current folder.
    const auto both = service::ParseCommandLine(
        {"--port", "3", "--project", "b.iom", "--board-settings", file, "--relay-01-name=Up"});
    ASSERT_TRUE(std::holds_alternative<Options>(both));
    BoardConfig line = std::get<Options>(both).boards.at(0);
    EXPECT_EQ(service::ReadBoardSettings(line)->text(),
              "option --relay-01-name is set both on the command line and in " + file +
                  ":2; set it in one place");
    const auto bad =
        service::ParseCommandLine({"--port", "3", "--project", "b.iom", "--relay-05-max-on=1ms"});
    ASSERT_TRUE(std::holds_alternative<ConfigError>(bad));
    EXPECT_EQ(std::get<ConfigError>(bad).text(),
              QStringLiteral("option --relay-05-max-on: relay-05-max-on '1ms' is not between "
                             "200ms and 168h"));
}

TEST(ServiceConfig, SafetySummaryListsWhatGuardsTheRelaysAndNothingForNamesAlone)
{
    safety::BoardSettings settings;
    settings.relayNames.at(4) = QStringLiteral("Pump");
    EXPECT_EQ(service::SafetySummary(settings), QString());
    settings.interlocks = {0x0003, 0x0070};
    settings.deadTime = std::chrono::milliseconds(500);
    settings.maxOn.at(4) = std::chrono::minutes(20);
    settings.maxOn.at(15) = std::chrono::hours(2);
    settings.debounce.at(0) = 3;
    EXPECT_EQ(service::SafetySummary(settings),
              QStringLiteral("interlock 01,02 05,06,07 dead time 500ms; relay 05 (Pump) max "
                             "on-time 20min; relay 16 max on-time 2h; input 1 debounce 3 reads"));
}

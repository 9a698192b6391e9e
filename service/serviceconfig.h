// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "network/mqttconfig.h"
#include "safety/boardsettings.h"
#include "web/httpconfig.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// What the service runs: the boards of a configuration file or of the
// command line, each with its port, project and options.
namespace service {

// How a function switch of the project is set at start: on when the
// project has something for it (Auto), or forced.
enum class Switch
{
    Auto,
    On,
    Off
};

// What a stop by SIGTERM or SIGINT leaves on the relays.
enum class StopState
{
    Off,
    Keep
};

// The board's MQTT connection, as the desktop program keeps it too.
using MqttConfig = network::MqttConfig;

struct BoardConfig
{
    QString name;
    // A COM number ("3") or a device path.
    QString port;
    // Absolute: a relative path in a file is taken from the file's folder.
    QString project;
    Switch timers = Switch::Auto;
    Switch rules = Switch::Auto;
    // Names, interlocks, maximum on-times, debounce and the start state (the
    // relays of the first relay write): the keys of the section or command
    // line, and after ReadBoardSettings those of the board-settings file.
    safety::BoardSettings settings;
    // board-settings = FILE, absolute; empty when none. Its line in the
    // configuration file (0 on the command line).
    QString settingsFile;
    int settingsFileLine = 0;
    // A board-settings key as the section or the command line set it, so
    // that the file can be read again on reload and a key set in both
    // places found.
    struct SettingLine
    {
        QString key;
        QString value;
        int line = 0;
    };
    QList<SettingLine> settingLines;
    StopState stopState = StopState::Off;
    // Where the log runs are appended; empty: <board>.log in the state folder.
    QString logFile;
    MqttConfig mqtt;
    // Where the board's settings start, for messages: the section line of
    // a configuration file, 0 on the command line.
    QString file;
    int line = 0;

    // The COM number, or nothing when the port is a device path.
    [[nodiscard]] std::optional<int> comNumber() const;
    // The MQTT topic prefix, its default filled in.
    [[nodiscard]] QString topicPrefix() const;
    // The MQTT client id, its default (qmxv217d-<name>) filled in.
    [[nodiscard]] QString clientId() const;
};

// A fault in the command line or in a configuration file: the file (empty
// for the command line), the line (0 when none) and what is wrong.
struct ConfigError
{
    QString file;
    int line = 0;
    QString problem;

    // The one line the service prints: "FILE:LINE: PROBLEM".
    [[nodiscard]] QString text() const;
};

struct Options
{
    bool help = false;
    bool version = false;
    // --print-schedule: the project's schedule as CSV instead of running.
    bool printSchedule = false;
    QDate scheduleFrom = QDate::currentDate();
    int scheduleDays = 7;
    // --records: the records' windows instead of what the relays do.
    bool scheduleRecords = false;
    // Empty when the boards came from the command line.
    QString configFile;
    QList<BoardConfig> boards;
    // The web panel: --http and --http-password-file, else the general
    // part of the configuration file.
    web::HttpConfig http;
    bool httpGiven = false;
};

// The command line without the program name.
[[nodiscard]] std::variant<Options, ConfigError> ParseCommandLine(const QStringList& arguments);

// A configuration file: "[name]" sections with "key = value" lines; "#" or
// ";" start a comment line. Every line is checked; the first fault is given.
// The keys of the whole service (http, http-password-file) stand before the
// first section and go to http when given.
[[nodiscard]] std::variant<QList<BoardConfig>, ConfigError>
ReadConfigFile(const QString& path, web::HttpConfig* http = nullptr);
// The same on the file's text, for a file already read.
[[nodiscard]] std::variant<QList<BoardConfig>, ConfigError>
ParseConfigText(const QString& path, const QByteArray& text, web::HttpConfig* http = nullptr);

// Reads the board's board-settings file, when it names one, and puts the
// section's own keys over it: board.settings then holds both. The fault of
// the file ("FILE:LINE: PROBLEM"), or a key set in both places. Read again
// on every reload.
[[nodiscard]] std::optional<ConfigError> ReadBoardSettings(BoardConfig& board);

// One line of what guards the board's relays and inputs ("interlock 01,02
// dead time 0.5s; relay 05 (Pump) max on-time 20min"); empty when nothing
// does.
[[nodiscard]] QString SafetySummary(const safety::BoardSettings& settings);

// The help text of --help.
[[nodiscard]] QString HelpText();

} // namespace service

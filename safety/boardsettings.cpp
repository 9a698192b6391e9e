// SPDX-License-Identifier: GPL-3.0-or-later
#include "safety/boardsettings.h"

#include "common/keyvaluefile.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace safety {

namespace {

using namespace std::chrono_literals;

// relay-NN-name, relay-NN-max-on, input-N-name, input-N-debounce.
const QRegularExpression& relayKey()
{
    static const QRegularExpression pattern(QStringLiteral("^relay-(\\d\\d)-(name|max-on)$"));
    return pattern;
}

const QRegularExpression& inputKey()
{
    static const QRegularExpression pattern(QStringLiteral("^input-(\\d)-(name|debounce)$"));
    return pattern;
}

QString twoDigits(int relay)
{
    return QStringLiteral("%1").arg(relay + 1, 2, 10, QLatin1Char('0'));
}

QString checkName(const QString& key, const QString& value)
{
    if (value.size() > kLongestName)
        return QStringLiteral("%1 is longer than %2 characters").arg(key).arg(kLongestName);
    for (const QChar c : value)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return QStringLiteral("%1 holds a control character").arg(key);
    return {};
}

std::optional<quint16> parseGroups(const QString& value, QList<quint16>& groups, QString& problem)
{
    quint16 used = 0;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    static const QRegularExpression relay(QStringLiteral("^\\d{1,2}$"));
    for (const QString& groupText : value.split(space, Qt::SkipEmptyParts)) {
        quint16 group = 0;
        for (const QString& part : groupText.split(QLatin1Char(','))) {
            const int number = relay.match(part).hasMatch() ? part.toInt() : 0;
            if (number < 1 || number > kRelays) {
                problem = QStringLiteral("interlock '%1' names '%2', not a relay 01 to 16")
                              .arg(value, part);
                return std::nullopt;
            }
            const auto bit = static_cast<quint16>(1u << (number - 1));
            if ((used | group) & bit) {
                problem = QStringLiteral("interlock '%1' names relay %2 twice")
                              .arg(value, twoDigits(number - 1));
                return std::nullopt;
            }
            group |= bit;
        }
        if (std::popcount(group) < 2) {
            problem =
                QStringLiteral("interlock group '%1' has one relay; a group needs two or more")
                    .arg(groupText);
            return std::nullopt;
        }
        used |= group;
        groups.append(group);
    }
    if (groups.isEmpty()) {
        problem = QStringLiteral("interlock is empty; write groups such as '01,02 03,04'");
        return std::nullopt;
    }
    return used;
}

} // namespace

bool BoardSettings::guardsNothing() const
{
    const auto none = [](Duration d) { return d == Duration::zero(); };
    const auto single = [](int k) { return k == 1; };
    return interlocks.isEmpty() && std::all_of(maxOn.begin(), maxOn.end(), none) &&
           std::all_of(debounce.begin(), debounce.end(), single);
}

quint16 BoardSettings::groupOf(int relay) const
{
    for (const quint16 group : interlocks)
        if (group & (1u << relay))
            return group;
    return 0;
}

QString BoardSettings::relayLabel(int relay) const
{
    const QString& name = relayNames.at(static_cast<std::size_t>(relay));
    return name.isEmpty() ? twoDigits(relay)
                          : QStringLiteral("%1 (%2)").arg(twoDigits(relay), name);
}

QString BoardSettings::inputLabel(int input) const
{
    const QString& name = inputNames.at(static_cast<std::size_t>(input));
    const QString number = QString::number(input + 1);
    return name.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(number, name);
}

QString GroupText(quint16 group)
{
    QStringList relays;
    for (int relay = 0; relay < kRelays; ++relay)
        if (group & (1u << relay))
            relays.append(twoDigits(relay));
    return relays.join(QLatin1Char(','));
}

std::optional<Duration> ParseDuration(const QString& text)
{
    if (text == QStringLiteral("0"))
        return Duration::zero();
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,9}(?:\\.\\d{1,3})?)\\s*(ms|s|min|h)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const double number = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    const double perUnit = unit == QStringLiteral("ms")    ? 1.0
                           : unit == QStringLiteral("s")   ? 1000.0
                           : unit == QStringLiteral("min") ? 60'000.0
                                                           : 3'600'000.0;
    const double ms = number * perUnit;
    // Below a millisecond the value is not what was written.
    if (ms != std::floor(ms) || ms > 1e15)
        return std::nullopt;
    return Duration(static_cast<Duration::rep>(ms));
}

QString DurationText(Duration duration)
{
    const auto ms = duration.count();
    if (ms == 0)
        return QStringLiteral("0");
    if (ms % 3'600'000 == 0)
        return QStringLiteral("%1h").arg(ms / 3'600'000);
    if (ms % 60'000 == 0)
        return QStringLiteral("%1min").arg(ms / 60'000);
    if (ms % 1000 == 0)
        return QStringLiteral("%1s").arg(ms / 1000);
    if (ms > 1000 && ms % 100 == 0)
        return QStringLiteral("%1s").arg(QString::number(static_cast<double>(ms) / 1000.0, 'f', 1));
    return QStringLiteral("%1ms").arg(ms);
}

bool IsBoardSettingsKey(const QString& key)
{
    return key == QStringLiteral("interlock") || key == QStringLiteral("interlock-dead-time") ||
           key == QStringLiteral("start-state") || relayKey().match(key).hasMatch() ||
           inputKey().match(key).hasMatch();
}

QString SetBoardSetting(BoardSettings& settings, const QString& key, const QString& value)
{
    if (const QRegularExpressionMatch match = relayKey().match(key); match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number < 1 || number > kRelays)
            return QStringLiteral("%1 names relay %2; the relays are 01 to 16")
                .arg(key, match.captured(1));
        const auto relay = static_cast<std::size_t>(number - 1);
        if (match.captured(2) == QStringLiteral("name")) {
            if (QString problem = checkName(key, value); !problem.isEmpty())
                return problem;
            settings.relayNames.at(relay) = value;
            return {};
        }
        const std::optional<Duration> limit = ParseDuration(value);
        if (!limit)
            return QStringLiteral("%1 '%2' is not a duration such as 500ms, 30s, 20min or 2h")
                .arg(key, value);
        if (*limit < kShortestMaxOn || *limit > kLongestMaxOn)
            return QStringLiteral("%1 '%2' is not between 200ms and 168h").arg(key, value);
        settings.maxOn.at(relay) = *limit;
        return {};
    }
    if (const QRegularExpressionMatch match = inputKey().match(key); match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number < 1 || number > kInputs)
            return QStringLiteral("%1 names input %2; the inputs are 1 to 6")
                .arg(key, match.captured(1));
        const auto input = static_cast<std::size_t>(number - 1);
        if (match.captured(2) == QStringLiteral("name")) {
            if (QString problem = checkName(key, value); !problem.isEmpty())
                return problem;
            settings.inputNames.at(input) = value;
            return {};
        }
        static const QRegularExpression count(QStringLiteral("^\\d{1,3}$"));
        const int reads = count.match(value).hasMatch() ? value.toInt() : 0;
        if (reads < 1 || reads > kLongestDebounce)
            return QStringLiteral("%1 '%2' is not a number of reads from 1 to %3")
                .arg(key, value)
                .arg(kLongestDebounce);
        settings.debounce.at(input) = reads;
        return {};
    }
    if (key == QStringLiteral("interlock")) {
        QList<quint16> groups;
        QString problem;
        if (!parseGroups(value, groups, problem))
            return problem;
        settings.interlocks = groups;
        return {};
    }
    if (key == QStringLiteral("interlock-dead-time")) {
        const std::optional<Duration> pause = ParseDuration(value);
        if (!pause)
            return QStringLiteral("%1 '%2' is not a duration such as 200ms or 0.5s")
                .arg(key, value);
        if (*pause > kLongestDeadTime)
            return QStringLiteral("%1 '%2' is longer than 1min").arg(key, value);
        settings.deadTime = *pause;
        return {};
    }
    if (key == QStringLiteral("start-state")) {
        static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{4}$"));
        StartState start;
        if (value == QStringLiteral("off"))
            start.word = 0;
        else if (value == QStringLiteral("last"))
            start.mode = StartState::Mode::Last;
        else if (value == QStringLiteral("schedule"))
            start.mode = StartState::Mode::Schedule;
        else if (hex.match(value).hasMatch())
            start.word = static_cast<quint16>(value.toUInt(nullptr, 16));
        else
            return QStringLiteral("start-state '%1' is not off, four hex digits, last or schedule")
                .arg(value);
        settings.startState = start;
        return {};
    }
    return QStringLiteral("unknown key '%1'").arg(key);
}

std::variant<BoardSettings, SettingsFault> ParseBoardSettings(const QByteArray& text)
{
    BoardSettings settings;
    const keyvalue::Contents contents = keyvalue::Parse(text, keyvalue::Syntax{});
    for (const keyvalue::Entry& entry : contents.entries) {
        if (!IsBoardSettingsKey(entry.key))
            return SettingsFault{entry.line, QStringLiteral("unknown key '%1'").arg(entry.name)};
        if (QString problem = SetBoardSetting(settings, entry.key, entry.value); !problem.isEmpty())
            return SettingsFault{entry.line, problem};
    }
    if (contents.fault)
        return SettingsFault{contents.fault->line, contents.fault->problem};
    return settings;
}

std::variant<BoardSettings, QString> ReadBoardSettingsFile(const QString& path)
{
    // A FIFO or a device planted under the name would hang the read or
    // never end it.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1: is not a regular file").arg(path);
    std::variant<QByteArray, QString> text = keyvalue::ReadFile(path, kLargestSettingsFile);
    if (const QString* problem = std::get_if<QString>(&text))
        return QStringLiteral("%1: %2").arg(path, *problem);
    std::variant<BoardSettings, SettingsFault> parsed =
        ParseBoardSettings(std::get<QByteArray>(text));
    if (const SettingsFault* fault = std::get_if<SettingsFault>(&parsed))
        return QStringLiteral("%1:%2: %3").arg(path).arg(fault->line).arg(fault->problem);
    return std::get<BoardSettings>(parsed);
}

QByteArray BoardSettingsText(const BoardSettings& settings)
{
    QStringList lines{QStringLiteral("# V217 board settings")};
    const auto line = [&](const QString& key, const QString& value) {
        lines.append(key + QStringLiteral(" = ") + value);
    };
    for (int relay = 0; relay < kRelays; ++relay) {
        const auto r = static_cast<std::size_t>(relay);
        if (!settings.relayNames.at(r).isEmpty())
            line(QStringLiteral("relay-%1-name").arg(twoDigits(relay)), settings.relayNames.at(r));
        if (settings.maxOn.at(r) != Duration::zero())
            line(QStringLiteral("relay-%1-max-on").arg(twoDigits(relay)),
                 DurationText(settings.maxOn.at(r)));
    }
    for (int input = 0; input < kInputs; ++input) {
        const auto i = static_cast<std::size_t>(input);
        if (!settings.inputNames.at(i).isEmpty())
            line(QStringLiteral("input-%1-name").arg(input + 1), settings.inputNames.at(i));
        if (settings.debounce.at(i) != 1)
            line(QStringLiteral("input-%1-debounce").arg(input + 1),
                 QString::number(settings.debounce.at(i)));
    }
    if (!settings.interlocks.isEmpty()) {
        QStringList groups;
        for (const quint16 group : settings.interlocks)
            groups.append(GroupText(group));
        line(QStringLiteral("interlock"), groups.join(QLatin1Char(' ')));
    }
    if (settings.deadTime != kDefaultDeadTime)
        line(QStringLiteral("interlock-dead-time"), DurationText(settings.deadTime));
    if (settings.startState) {
        const StartState& start = *settings.startState;
        line(QStringLiteral("start-state"),
             start.mode == StartState::Mode::Last       ? QStringLiteral("last")
             : start.mode == StartState::Mode::Schedule ? QStringLiteral("schedule")
             : start.word == 0
                 ? QStringLiteral("off")
                 : QStringLiteral("%1").arg(start.word, 4, 16, QLatin1Char('0')).toUpper());
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace safety

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <optional>
#include <variant>

// What a board's wiring asks of both programs: the names of its relays and
// inputs, the relays that must never be on together (interlock groups) with
// the pause between one going off and another of its group going on, the
// longest time each relay may stay on, how many equal reads an input change
// needs, and the relays the service starts with. They describe the board,
// not a project: the desktop program keeps them in board.conf, the service
// in the board's section or a file of their own, both as "key = value"
// lines. Nothing set behaves as a board without settings always has.
namespace safety {

inline constexpr int kRelays = 16;
inline constexpr int kInputs = 6;

using Duration = std::chrono::milliseconds;

// The default pause of an interlock group: one poll cycle.
inline constexpr Duration kDefaultDeadTime{200};
// The shortest maximum on-time: one poll cycle, the resolution it is kept in.
inline constexpr Duration kShortestMaxOn{200};
// The longest maximum on-time: a week.
inline constexpr Duration kLongestMaxOn = std::chrono::hours(24 * 7);
inline constexpr Duration kLongestDeadTime = std::chrono::minutes(1);
inline constexpr int kLongestDebounce = 100;
inline constexpr int kLongestName = 40;

// What the service's first relay write carries.
struct StartState
{
    enum class Mode
    {
        // The word below ("off" is 0000).
        Word,
        // The word the board last confirmed, kept across restarts.
        Last,
        // What the timers' records say at activation.
        Schedule
    };
    Mode mode = Mode::Word;
    quint16 word = 0;

    friend bool operator==(const StartState&, const StartState&) = default;
};

struct BoardSettings
{
    // Index 0 is relay 01 (input 1); empty: no name.
    std::array<QString, kRelays> relayNames;
    std::array<QString, kInputs> inputNames;
    // Each group a mask of two or more relays (bit n is relay n+1); no
    // relay is in two groups. In the order written.
    QList<quint16> interlocks;
    Duration deadTime = kDefaultDeadTime;
    // Zero: no limit.
    std::array<Duration, kRelays> maxOn{};
    // Equal reads an input change needs; 1 takes every read at once.
    std::array<int, kInputs> debounce{1, 1, 1, 1, 1, 1};
    // Set only where written.
    std::optional<StartState> startState;

    friend bool operator==(const BoardSettings&, const BoardSettings&) = default;

    // Nothing in them changes what the relays or inputs do: no groups, no
    // maximum on-time, no debounce (names and the start state aside).
    [[nodiscard]] bool guardsNothing() const;
    // The mask of the group relay (0-15) is in, 0 when it is in none.
    [[nodiscard]] quint16 groupOf(int relay) const;
    // "02" or "02 (Pump)"; "3" or "3 (Float switch)".
    [[nodiscard]] QString relayLabel(int relay) const;
    [[nodiscard]] QString inputLabel(int input) const;
};

// "01,02": a group's relays as the interlock key writes them.
[[nodiscard]] QString GroupText(quint16 group);

// "500ms", "0.5s", "20min", "24h"; a bare "0" is zero.
[[nodiscard]] std::optional<Duration> ParseDuration(const QString& text);
// The shortest of those forms that gives the duration back.
[[nodiscard]] QString DurationText(Duration duration);

// True for every key the settings know, in lower case as the reader
// gives them.
[[nodiscard]] bool IsBoardSettingsKey(const QString& key);
// Sets one key (IsBoardSettingsKey) from its value; the problem
// ("relay-03-max-on '5 years' is not a duration ...") when the value is
// wrong. The key is set, whatever it held.
[[nodiscard]] QString SetBoardSetting(BoardSettings& settings, const QString& key,
                                      const QString& value);

// A fault of a settings file, to show as "FILE:LINE: PROBLEM".
struct SettingsFault
{
    int line = 0;
    QString problem;
};

// A settings file's text: "key = value" lines without sections; the first
// fault in file order.
[[nodiscard]] std::variant<BoardSettings, SettingsFault> ParseBoardSettings(const QByteArray& text);

// Files larger than this are not settings files.
inline constexpr qint64 kLargestSettingsFile = 64 * 1024;

// Reads and parses a settings file: the settings, or the one line to show
// ("FILE:LINE: PROBLEM", "FILE: cannot be read: ...").
[[nodiscard]] std::variant<BoardSettings, QString> ReadBoardSettingsFile(const QString& path);

// The file that gives these settings back: only what differs from the
// defaults, relays and inputs in their order, under a comment line.
[[nodiscard]] QByteArray BoardSettingsText(const BoardSettings& settings);

} // namespace safety

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/pollcycle.h"
#include "safety/boardsettings.h"

#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

class View;

// The board's settings as the desktop program keeps them: board.conf in the
// configuration folder, in the "key = value" form of safety::BoardSettings.
// Without the file nothing is applied and the program behaves as it always
// has.

// ConfigFolder()/board.conf.
[[nodiscard]] QString BoardSettingsFile();

// The file's settings, none when there is no file, or the one line that
// tells why it is not used ("FILE:LINE: PROBLEM"). The program keeps the
// file for itself, so a symbolic link in its place or a file of another
// user is not read: another user could otherwise plant the settings that
// decide which relays may switch.
[[nodiscard]] std::variant<std::optional<safety::BoardSettings>, QString>
ReadBoardConf(const QString& path);

class DesktopBoard
{
public:
    // How often the wait for the controller's start-up looks again: its tick.
    static constexpr std::chrono::milliseconds kCheckPeriod = board::PollCycle::kTickPeriod;
    using Apply = std::function<void(const safety::BoardSettings&)>;

    // apply: hands settings read or saved to the controller and the windows;
    // view: where a file that cannot be used is told, once, as soon as
    // startedUp says the controller's start-up (and its own boxes) is done.
    DesktopBoard(QString file, Apply apply, View& view, std::function<bool()> startedUp);
    DesktopBoard(const DesktopBoard&) = delete;
    DesktopBoard& operator=(const DesktopBoard&) = delete;

    // Reads the file and applies its settings. A file that cannot be used
    // applies nothing and is left as it is.
    void load();
    // Writes the file and applies the settings at once. False with the
    // problem when the file cannot be written; nothing changes then.
    [[nodiscard]] bool save(const safety::BoardSettings& settings, QString& problem);

    [[nodiscard]] const QString& file() const { return m_file; }
    // What runs: the file's settings, or none.
    [[nodiscard]] const safety::BoardSettings& settings() const { return m_settings; }
    // Why the file was not used; empty when it was, or after a save.
    [[nodiscard]] const QString& fileProblem() const { return m_fileProblem; }

private:
    void tick();

    QString m_file;
    Apply m_apply;
    View& m_view;
    std::function<bool()> m_startedUp;
    safety::BoardSettings m_settings;
    QString m_fileProblem;
    QTimer m_tick;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdio>

// The service's log: one line per message on standard error, with the
// board's name and a level. Under systemd, whose journal reads standard
// error when JOURNAL_STREAM names it, each line starts with the journal's
// "<N>" priority instead of the level word.
namespace service {

enum class Level
{
    Error = 3,
    Warning = 4,
    Info = 6
};

class Journal
{
public:
    // journal: whether to write the priority prefixes.
    explicit Journal(bool journal, std::FILE* out = stderr) : m_journal(journal), m_out(out) {}

    // True when JOURNAL_STREAM names the file behind standard error.
    [[nodiscard]] static bool stderrIsJournal();

    // One line "<source>: <level>: <text>"; line breaks in the text (the
    // desktop boxes' CR) become spaces, so a message is always one line.
    void write(const QString& source, Level level, const QString& text);

    // The text of a line as write() puts it out, without the line end.
    [[nodiscard]] QString format(const QString& source, Level level, const QString& text) const;

private:
    bool m_journal;
    std::FILE* m_out;
};

} // namespace service

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

// The project file (*.iom): the logger schedule as three numbers, "[t]", the
// timer record lines, "[r]", the rule lines. No header and no version line;
// the section lines are matched exactly, case and spaces included.
struct ProjectContents
{
    double LogOnTime = 0;
    double LogOffTime = 0;
    double LogFrequency = 0;
    QStringList TimerList;
    QStringList RulesList;
    // False when the fourth line is not exactly "[t]": only the three
    // numbers were taken, and the file does not count as a loaded project.
    bool HasSections = false;
};

inline const QString kTimerSection = QStringLiteral("[t]");
inline const QString kRulesSection = QStringLiteral("[r]");

// Where the parts of a project file lie, as indexes into its lines: what the
// program's load and the service's checks read alike.
struct ProjectLayout
{
    // Lines 1 to 3: LogOnTime, LogOffTime, LogFrequency.
    static constexpr qsizetype kNumberLines = 3;
    // Line 4: "[t]".
    static constexpr qsizetype kTimerSectionLine = 3;
    static constexpr qsizetype kFirstTimerLine = 4;

    // One past the last timer record line: the first "[r]" line after
    // "[t]", or the end of the file without one.
    qsizetype timerEnd = kFirstTimerLine;
    // The first rule line; the end of the file without a "[r]" line.
    qsizetype firstRuleLine = kFirstTimerLine;
    bool hasRulesSection = false;

    [[nodiscard]] qsizetype timerLines() const { return timerEnd - kFirstTimerLine; }
};

// The sections of a file whose fourth line is exactly "[t]"; nothing
// otherwise (also for a file of fewer than four lines).
[[nodiscard]] std::optional<ProjectLayout> FindProjectLayout(const QStringList& lines);

// The lines as saved. The numbers are in the general decimal form with
// decimalPoint, the regional separator; the reader takes "." and "," alike,
// so a file moves between locales.
[[nodiscard]] QStringList ProjectFileLines(const ProjectContents& contents, QChar decimalPoint);

// Nothing when the lines are not a project: fewer than four, or one of the
// first three not a number. The timer and rule lines are copied unchecked.
[[nodiscard]] std::optional<ProjectContents> ParseProjectLines(const QStringList& lines);

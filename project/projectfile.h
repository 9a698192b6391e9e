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

// The lines as saved. The numbers are in the general decimal form with
// decimalPoint, the regional separator; the reader takes "." and "," alike,
// so a file moves between locales.
[[nodiscard]] QStringList ProjectFileLines(const ProjectContents& contents, QChar decimalPoint);

// Nothing when the lines are not a project: fewer than four, or one of the
// first three not a number. The timer and rule lines are copied unchecked.
[[nodiscard]] std::optional<ProjectContents> ParseProjectLines(const QStringList& lines);

// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/projectfile.h"

#include "common/conversions.h"
#include "common/daynumber.h"

QStringList ProjectFileLines(const ProjectContents& contents, QChar decimalPoint)
{
    QStringList lines{FormatGeneral(contents.LogOnTime, decimalPoint),
                      FormatGeneral(contents.LogOffTime, decimalPoint),
                      FormatGeneral(contents.LogFrequency, decimalPoint), kTimerSection};
    lines += contents.TimerList;
    lines += kRulesSection;
    lines += contents.RulesList;
    return lines;
}

std::optional<ProjectLayout> FindProjectLayout(const QStringList& lines)
{
    if (lines.size() <= ProjectLayout::kTimerSectionLine ||
        lines.at(ProjectLayout::kTimerSectionLine) != kTimerSection)
        return std::nullopt;
    ProjectLayout layout;
    const qsizetype rules = lines.indexOf(kRulesSection, ProjectLayout::kFirstTimerLine);
    layout.hasRulesSection = rules >= 0;
    layout.timerEnd = layout.hasRulesSection ? rules : lines.size();
    layout.firstRuleLine = layout.hasRulesSection ? rules + 1 : lines.size();
    return layout;
}

std::optional<ProjectContents> ParseProjectLines(const QStringList& lines)
{
    if (lines.size() <= ProjectLayout::kTimerSectionLine)
        return std::nullopt;
    ProjectContents contents;
    double* const numbers[ProjectLayout::kNumberLines] = {&contents.LogOnTime, &contents.LogOffTime,
                                                          &contents.LogFrequency};
    for (qsizetype i = 0; i < ProjectLayout::kNumberLines; ++i) {
        bool ok = false;
        *numbers[i] = StrToFloatOk(lines.at(i), &ok);
        if (!ok)
            return std::nullopt;
    }
    const std::optional<ProjectLayout> layout = FindProjectLayout(lines);
    if (!layout)
        return contents;
    contents.HasSections = true;
    contents.TimerList = lines.mid(ProjectLayout::kFirstTimerLine, layout->timerLines());
    contents.RulesList = lines.mid(layout->firstRuleLine);
    return contents;
}

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

std::optional<ProjectContents> ParseProjectLines(const QStringList& lines)
{
    if (lines.size() < 4)
        return std::nullopt;
    ProjectContents contents;
    bool ok = false;
    contents.LogOnTime = StrToFloatOk(lines.at(0), &ok);
    if (!ok)
        return std::nullopt;
    contents.LogOffTime = StrToFloatOk(lines.at(1), &ok);
    if (!ok)
        return std::nullopt;
    contents.LogFrequency = StrToFloatOk(lines.at(2), &ok);
    if (!ok)
        return std::nullopt;
    if (lines.at(3) != kTimerSection)
        return contents;
    contents.HasSections = true;
    const qsizetype rules = lines.indexOf(kRulesSection, 4);
    if (rules < 0) {
        contents.TimerList = lines.mid(4);
    } else {
        contents.TimerList = lines.mid(4, rules - 4);
        contents.RulesList = lines.mid(rules + 1);
    }
    return contents;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/projectcheck.h"

#include "common/clock.h"
#include "common/conversions.h"
#include "common/daynumber.h"
#include "common/regional.h"
#include "common/textlines.h"
#include "controller/relay.h"
#include "project/projectfile.h"
#include "rules/interlockcheck.h"
#include "rules/rules.h"
#include "serial/Serial2.h"
#include "service/headlessview.h"
#include "timers/chantimer.h"
#include "timers/schedulecheck.h"
#include "timers/timerpass.h"

#include <QFileInfo>

namespace service {

namespace {

std::optional<ConfigError> checkShape(const QString& path, const QStringList& lines)
{
    const auto at = [&](int line, const QString& problem) {
        return ConfigError{path, line, problem};
    };
    static const std::array<const char*, ProjectLayout::kNumberLines> kNumbers{
        "logger start", "logger end", "logger interval"};
    for (int i = 0; i < ProjectLayout::kNumberLines; ++i) {
        if (i >= lines.size())
            return at(i + 1, QStringLiteral("the file ends before the %1 (not a project file)")
                                 .arg(QString::fromLatin1(kNumbers.at(static_cast<size_t>(i)))));
        bool ok = false;
        (void)StrToFloatOk(lines.at(i), &ok);
        if (!ok)
            return at(i + 1, QStringLiteral("'%1' is not a number (the %2; not a project file)")
                                 .arg(lines.at(i),
                                      QString::fromLatin1(kNumbers.at(static_cast<size_t>(i)))));
    }
    const std::optional<ProjectLayout> layout = FindProjectLayout(lines);
    if (!layout)
        return at(ProjectLayout::kTimerSectionLine + 1,
                  QStringLiteral("expected the line \"[t]\" (not a project file)"));
    const qsizetype timerLines = layout->timerLines();
    if (timerLines % chantimer::kRecordLines != 0) {
        const auto last =
            static_cast<int>(ProjectLayout::kFirstTimerLine +
                             timerLines / chantimer::kRecordLines * chantimer::kRecordLines);
        return at(last + 1, QStringLiteral("the timer record starting here is cut short "
                                           "(a record has nine lines)"));
    }
    // Each record on its own through the timer engine: a record it cannot
    // run would stop the board with "Fatal error in time data.".
    const double now = DateTimeToDayNumber(QDateTime::currentDateTime());
    for (qsizetype first = ProjectLayout::kFirstTimerLine; first < layout->timerEnd;
         first += chantimer::kRecordLines) {
        QStringList record = lines.mid(first, chantimer::kRecordLines);
        int word = 0;
        if (ExecuteTimerPass(record, word, now, QLatin1Char('.')) == -1)
            return at(static_cast<int>(first + 1),
                      QStringLiteral("the timer record starting here is faulty (Fatal error in "
                                     "time data.)"));
    }
    if (layout->hasRulesSection) {
        int count = 0;
        for (qsizetype i = layout->firstRuleLine; i < lines.size(); ++i) {
            if (rules::TrimSpaces(lines.at(i)).isEmpty())
                continue;
            if (++count > rules::kMaxRuleLines)
                return at(static_cast<int>(i + 1),
                          QStringLiteral("more than %1 rules").arg(rules::kMaxRuleLines));
            QStringList one{lines.at(i)};
            QString error;
            int pos = 0;
            if (!rules::CheckRules(one, error, pos))
                return at(static_cast<int>(i + 1),
                          QStringLiteral("rule '%1': %2")
                              .arg(lines.at(i), QString(error)
                                                    .replace(QLatin1Char('\r'), QLatin1Char(' '))
                                                    .simplified()));
        }
    }
    return std::nullopt;
}

} // namespace

std::variant<ProjectSummary, ConfigError> CheckProject(const QString& path,
                                                       const safety::BoardSettings& settings)
{
    const QFileInfo info(path);
    if (!info.exists())
        return ConfigError{path, 0, QStringLiteral("no such project file")};
    QStringList lines;
    try {
        lines = ReadTextLines(path);
    } catch (const V217Error& e) {
        return ConfigError{path, 0, QStringLiteral("cannot be read (%1)").arg(e.message())};
    }
    if (const std::optional<ConfigError> fault = checkShape(path, lines))
        return *fault;

    // Then the load as the program does it, on a scratch controller whose
    // boxes are collected: whatever the program would complain about stops
    // the service too.
    HeadlessView view(QString(), nullptr);
    TSerial serial;
    SystemClock clock;
    const Regional regional = Regional::fixed();
    Controller probe(view, serial, clock, regional);
    probe.run([&] { probe.StartUnattended(); });
    probe.run([&] { probe.OpenTheProjectFile(path); });
    if (!view.errorBoxes().isEmpty())
        return ConfigError{path, 1,
                           QString(view.errorBoxes().first())
                               .replace(QLatin1Char('\r'), QLatin1Char(' '))
                               .simplified()};
    ProjectSummary summary;
    summary.timerRecords =
        static_cast<int>(probe.timers().TimerList().size() / chantimer::kRecordLines);
    summary.rules = static_cast<int>(probe.rules().RulesList().size());
    summary.logSchedule = probe.logger().LogPeriodTicks() > 0;
    for (const QString& warning : rules::InterlockWarnings(probe.rules().RulesList(), settings))
        summary.warnings.append(QStringLiteral("rules: ") + warning);
    for (const QString& warning :
         schedule::ScheduleWarnings(probe.timers().TimerList(), settings, QDate::currentDate()))
        summary.warnings.append(QStringLiteral("timer records: ") + warning);
    return summary;
}

} // namespace service

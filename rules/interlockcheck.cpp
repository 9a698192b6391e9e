// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/interlockcheck.h"

#include "rules/rules.h"

#include <QList>

#include <algorithm>
#include <array>
#include <bit>
#include <span>

namespace rules {

namespace {

constexpr int kInputWords = 1 << safety::kInputs;

// One conflict: the relays of a group the rules ask on together, the lines
// that decide them (bit n is line n+1) and the first input word that does it.
struct Conflict
{
    quint16 group = 0;
    quint16 relays = 0;
    quint32 lines = 0;
    int inputs = 0;
};

// "1", "1 and 2", "1, 2 and 4".
QString listText(const QStringList& items)
{
    if (items.size() < 2)
        return items.value(0);
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           items.last();
}

QStringList bitsText(quint32 mask, bool twoDigits)
{
    QStringList items;
    for (int bit = 0; bit < 32; ++bit) {
        if ((mask & (1U << bit)) != 0)
            items.append(twoDigits ? QStringLiteral("%1").arg(bit + 1, 2, 10, QLatin1Char('0'))
                                   : QString::number(bit + 1));
    }
    return items;
}

QString inputsText(int word)
{
    if (word == 0)
        return QStringLiteral("every input is low");
    if (word == kInputWords - 1)
        return QStringLiteral("every input is high");
    const QStringList high = bitsText(static_cast<quint32>(word), false);
    return (high.size() == 1 ? QStringLiteral("input %1 is high")
                             : QStringLiteral("inputs %1 are high"))
               .arg(listText(high)) +
           QStringLiteral(" and the others low");
}

QString warningText(const Conflict& c, const QStringList& lines)
{
    const QStringList numbers = bitsText(c.lines, false);
    QStringList texts;
    for (const QString& number : numbers)
        texts.append(lines.at(number.toInt() - 1));
    const QString relays = QStringLiteral("relays %1 of interlock group %2 on together")
                               .arg(listText(bitsText(c.relays, true)), safety::GroupText(c.group));
    if (numbers.size() == 1)
        return QStringLiteral("line %1: %2 switches %3")
            .arg(numbers.first(), texts.first(), relays);
    return QStringLiteral("lines %1: %2 switch %3 when %4")
        .arg(listText(numbers), listText(texts), relays, inputsText(c.inputs));
}

} // namespace

QStringList InterlockWarnings(const QStringList& lines, const safety::BoardSettings& settings)
{
    if (settings.interlocks.isEmpty() || lines.size() > kMaxRuleLines)
        return {};
    // What each line does on its own for every input word: the relays it
    // names, and which of them it switches on.
    QList<int> driven(lines.size(), 0);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (CheckIllegalChars(lines.at(i)) == 0 && CheckSyntax(lines.at(i)).expected.isEmpty())
            driven[i] = DrivenRelays({lines.at(i)});
    }
    QList<Conflict> conflicts;
    for (int inputs = 0; inputs < kInputWords; ++inputs) {
        quint16 on = 0;
        std::array<int, safety::kRelays> decidedBy{};
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (driven.at(i) == 0)
                continue;
            const QStringView line = lines.at(i);
            const int word =
                ModifyOutputFromRules(std::span<const QStringView>(&line, 1), inputs, 0) &
                driven.at(i);
            on = static_cast<quint16>((on & ~driven.at(i)) | word);
            for (int relay = 0; relay < safety::kRelays; ++relay) {
                if ((driven.at(i) & (1 << relay)) != 0)
                    decidedBy.at(static_cast<size_t>(relay)) = static_cast<int>(i);
            }
        }
        for (const quint16 group : settings.interlocks) {
            const auto together = static_cast<quint16>(on & group);
            if (std::popcount(together) < 2)
                continue;
            quint32 by = 0;
            for (int relay = 0; relay < safety::kRelays; ++relay) {
                if ((together & (1 << relay)) != 0)
                    by |= 1U << decidedBy.at(static_cast<size_t>(relay));
            }
            const bool known =
                std::any_of(conflicts.cbegin(), conflicts.cend(), [&](const Conflict& c) {
                    return c.group == group && c.relays == together && c.lines == by;
                });
            if (!known)
                conflicts.append({group, together, by, inputs});
        }
    }
    // Relays 01 and 02 on together by lines 1 and 2 say nothing new beside
    // 01, 02 and 03 on together by lines 1, 2 and 3.
    const auto within = [](const Conflict& small, const Conflict& large) {
        return small.group == large.group && small.relays != large.relays &&
               (small.relays & large.relays) == small.relays &&
               (small.lines & large.lines) == small.lines;
    };
    QList<Conflict> shown;
    for (const Conflict& c : std::as_const(conflicts)) {
        if (std::none_of(conflicts.cbegin(), conflicts.cend(),
                         [&](const Conflict& other) { return within(c, other); }))
            shown.append(c);
    }
    std::stable_sort(shown.begin(), shown.end(), [&](const Conflict& a, const Conflict& b) {
        const int firstA = std::countr_zero(a.lines);
        const int firstB = std::countr_zero(b.lines);
        if (firstA != firstB)
            return firstA < firstB;
        return settings.interlocks.indexOf(a.group) < settings.interlocks.indexOf(b.group);
    });
    QStringList warnings;
    for (const Conflict& c : std::as_const(shown))
        warnings.append(warningText(c, lines));
    return warnings;
}

} // namespace rules

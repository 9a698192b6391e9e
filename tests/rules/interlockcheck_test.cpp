// SPDX-License-Identifier: GPL-3.0-or-later
#include "printers.h"
#include "rules/interlockcheck.h"
#include "support/rig.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

safety::BoardSettings groups(std::initializer_list<quint16> masks)
{
    safety::BoardSettings settings;
    settings.interlocks = QList<quint16>(masks);
    return settings;
}

struct WarningCase
{
    QStringList rules;
    QStringList warnings;
};

// Relays 01,02 and 03,04,05 are interlocked in every case.
// clang-format off
const WarningCase kWarningCases[] = {
    // One line driving two relays of a group the same way.
    {{u"2L=07H"_s, u"4H=08L"_s, u"1H=01H02H"_s},
     {u"line 3: 1H=01H02H switches relays 01 and 02 of interlock group 01,02 on together"_s}},
    {{u"1H=01L02L"_s},
     {u"line 1: 1H=01L02L switches relays 01 and 02 of interlock group 01,02 on together"_s}},
    // Driven oppositely by one line: never on together.
    {{u"1H=01H02L"_s, u"2H=03H04L"_s}, {}},
    // A condition that can never hold, and one that always holds.
    {{u"1Hand1L=03H04H"_s}, {}},
    {{u"1Hor1L=03L04L"_s}, {}},
    // Relays of different groups, and relays outside every group.
    {{u"1H=01H03H06H07H"_s}, {}},
    // Two lines whose conditions can hold at once.
    {{u"1H=01H"_s, u"2H=02H"_s},
     {u"lines 1 and 2: 1H=01H and 2H=02H switch relays 01 and 02 of interlock group 01,02 on "
      u"together when inputs 1 and 2 are high and the others low"_s}},
    {{u"1L=03H"_s, u"2L=04H"_s},
     {u"lines 1 and 2: 1L=03H and 2L=04H switch relays 03 and 04 of interlock group 03,04,05 on "
      u"together when every input is low"_s}},
    // ... and whose conditions exclude each other.
    {{u"1H=01H"_s, u"1L=02H"_s}, {}},
    {{u"1Hand2H=04H"_s, u"2L=05H"_s}, {}},
    // A later line that always decides the relay takes the conflict away.
    {{u"1H=01H02H"_s, u"3H=02H"_s},
     {u"lines 1 and 2: 1H=01H02H and 3H=02H switch relays 01 and 02 of interlock group 01,02 on "
      u"together when inputs 1 and 3 are high and the others low"_s}},
    {{u"1H=01H02H"_s, u"1Hor1L=02L"_s}, {}},
    // Three relays of one group: the whole conflict once, not its pairs.
    {{u"1H=03H"_s, u"1H=04H"_s, u"1H=05H"_s},
     {u"lines 1, 2 and 3: 1H=03H, 1H=04H and 1H=05H switch relays 03, 04 and 05 of interlock "
      u"group 03,04,05 on together when input 1 is high and the others low"_s}},
    // Both groups from one line, the first group first.
    {{u"6H=05H01H03H02H"_s},
     {u"line 1: 6H=05H01H03H02H switches relays 01 and 02 of interlock group 01,02 on together"_s,
      u"line 1: 6H=05H01H03H02H switches relays 03 and 05 of interlock group 03,04,05 on "
      u"together"_s}},
    // A line the checker refuses is not judged here.
    {{u"1H=1H"_s, u"1H=01H02H"_s},
     {u"line 2: 1H=01H02H switches relays 01 and 02 of interlock group 01,02 on together"_s}},
};
// clang-format on

TEST(InterlockWarnings, NameTheLinesThatSwitchOneGroupOnTogether)
{
    const safety::BoardSettings settings = groups({0x0003, 0x001C});
    for (const WarningCase& c : kWarningCases)
        EXPECT_EQ(rules::InterlockWarnings(c.rules, settings), c.warnings)
            << c.rules.join(u' ').toStdString();
}

TEST(InterlockWarnings, NoneWithoutGroups)
{
    safety::BoardSettings named;
    named.relayNames[0] = u"Pump"_s;
    named.maxOn[1] = std::chrono::minutes(5);
    EXPECT_TRUE(rules::InterlockWarnings({u"1H=01H02H"_s}, {}).isEmpty());
    EXPECT_TRUE(rules::InterlockWarnings({u"1H=01H02H"_s}, named).isEmpty());
}

// The editor's close query: a sound text with warnings asks, and Yes goes
// on editing while No closes with the text to be used.
TEST(InterlockWarnings, TheEditorAsksBeforeUsingTheText)
{
    Rig rig;
    rig.startUp();
    rig.view.boxes.clear();
    RulesForm& form = rig.core.rulesForm();
    form.setBoardSettings(groups({0x0003}));
    form.FormActivate();
    form.RulesMemo = {u"1H=01H02H"_s, u""_s};

    rig.view.answers = {View::Answer::Yes, View::Answer::No};
    EXPECT_FALSE(form.FormCloseQuery(rig.view));
    EXPECT_TRUE(form.FormCloseQuery(rig.view));
    EXPECT_TRUE(form.AcceptText);
    EXPECT_EQ(form.RulesMemo, QStringList{u"1H=01H02H"_s});
    ASSERT_EQ(rig.view.boxes.size(), 2);
    EXPECT_EQ(rig.view.boxes.at(0).kind, u"Confirm"_s);
    EXPECT_EQ(rig.view.boxes.at(0).text,
              u"Rules text has warnings.\r\rline 1: 1H=01H02H switches relays 01 and 02 of "
              u"interlock group 01,02 on together\r\rThe interlocks will hold one of the relays "
              u"off.\r\rIf you choose to exit, the text will be used as it is.\r\rContinue?"_s);
    EXPECT_EQ(rig.view.boxes.at(0).escape, View::Answer::Yes);

    // A text without conflicts, and any text once the groups are gone,
    // closes without a question.
    rig.view.boxes.clear();
    form.RulesMemo = {u"1H=01H02L"_s};
    EXPECT_TRUE(form.FormCloseQuery(rig.view));
    form.setBoardSettings({});
    form.RulesMemo = {u"1H=01H02H"_s};
    EXPECT_TRUE(form.FormCloseQuery(rig.view));
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

} // namespace

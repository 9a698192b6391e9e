// SPDX-License-Identifier: GPL-3.0-or-later
// The rules part on its own: a recording view, no controller, no board.
#include "rules/rulesswitch.h"
#include "support/fakeview.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class RulesSwitchTest : public ::testing::Test
{
protected:
    FakeView view;
    RulesSwitch rules{view};
};

} // namespace

TEST_F(RulesSwitchTest, StartsOffAndEmpty)
{
    EXPECT_FALSE(rules.RulesOn());
    EXPECT_TRUE(rules.RulesList().isEmpty());
}

TEST_F(RulesSwitchTest, TheSwitchNeedsRules)
{
    rules.InputRulesSBClick();
    EXPECT_FALSE(rules.RulesOn());
    EXPECT_EQ(view.boxTexts(), QStringList{u"Rules list empty"_s});

    rules.setRulesList({u"1H=01H"_s});
    rules.InputRulesSBClick();
    EXPECT_TRUE(rules.RulesOn());
    EXPECT_TRUE(view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(view.status[1], u"Input rules ON"_s);

    rules.InputRulesSBClick();
    EXPECT_FALSE(rules.RulesOn());
    EXPECT_FALSE(view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(view.status[1], u"Input rules OFF"_s);
}

TEST_F(RulesSwitchTest, SwitchingOffLeavesTheLamp)
{
    rules.setRulesList({u"1H=01H"_s});
    rules.InputRulesSBClick();
    rules.switchOff();
    EXPECT_FALSE(rules.RulesOn());
    EXPECT_TRUE(view.lamp(View::Lamp::InputRules));
}

TEST_F(RulesSwitchTest, TheRulesDriveTheRelayWord)
{
    EXPECT_EQ(rules.ModifyOutputFromRulesBase(0x01, 0x8000), 0x8000);
    rules.setRulesList({u"1H=01H"_s, u"2H=02L"_s});
    EXPECT_EQ(rules.ModifyOutputFromRulesBase(0x01, 0x0002), 0x0003);
    EXPECT_EQ(rules.ModifyOutputFromRulesBase(0x03, 0x0002), 0x0001);
}

TEST_F(RulesSwitchTest, TheEditorReportsAChangeOnlyWhenModified)
{
    rules.setRulesList({u"1H=01H"_s});
    view.onRulesEditor = [this] {
        RulesForm& form = rules.rulesForm();
        EXPECT_EQ(form.RulesMemo, QStringList{u"1H=01H"_s});
        form.RulesMemo = {u"2L=03H"_s};
        form.AcceptText = true;
        form.Modified = true;
        return true;
    };
    EXPECT_TRUE(rules.RulesEditButtClick());
    EXPECT_EQ(rules.RulesList(), QStringList{u"2L=03H"_s});
    EXPECT_EQ(view.statusHistory[1], (QStringList{u"Edit input rules"_s, u"Ready"_s}));

    view.onRulesEditor = [] { return false; };
    EXPECT_FALSE(rules.RulesEditButtClick());
    EXPECT_EQ(rules.RulesList(), QStringList{u"2L=03H"_s});
}

TEST_F(RulesSwitchTest, AFaultyTextLeftInTheEditorDropsTheRules)
{
    rules.setRulesList({u"1H=01H"_s});
    rules.InputRulesSBClick();
    view.onRulesEditor = [this] {
        rules.rulesForm().AcceptText = false;
        return true;
    };
    EXPECT_FALSE(rules.RulesEditButtClick());
    EXPECT_TRUE(rules.RulesList().isEmpty());
    EXPECT_FALSE(rules.RulesOn());
    EXPECT_FALSE(view.lamp(View::Lamp::InputRules));
}

TEST_F(RulesSwitchTest, LoadedRulesAreCheckedAndCleaned)
{
    rules.setRulesList({u"1H=01H"_s, QString(), u"2H=02L"_s});
    rules.checkLoadedRules();
    EXPECT_EQ(rules.RulesList(), (QStringList{u"1H=01H"_s, u"2H=02L"_s}));
    EXPECT_TRUE(view.boxes.isEmpty());

    rules.setRulesList({u"1H=01X"_s});
    rules.checkLoadedRules();
    EXPECT_TRUE(rules.RulesList().isEmpty());
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_TRUE(view.boxes.at(0).text.startsWith(
        u"Errors found in the loaded rules. The rules are not used.\r\r"_s));
}

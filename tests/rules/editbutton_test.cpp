// SPDX-License-Identifier: GPL-3.0-or-later
#include "printers.h"
#include "support/rig.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kFaultyQuestion =
    u"Rules text has errors.\r\rSyntax Error.\rLine: 1.\rCharacter: 5  [H]\r\rExpecting: "
    u"Output number units [0 - 6]\r\rIf you choose to exit, the text will not be used.\r\r"
    u"Continue?"_s;

// The Edit button of the INPUT RULES panel, with the editor played through
// its form: what the user leaves in the memo and how the window closes.
class RulesEditButt : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        rig.view.boxes.clear();
        rig.core.rules().setRulesList({u"1H=01H"_s});
        rig.core.InputRulesSBClick();
        rig.view.statusHistory[1].clear();
    }
    RulesForm& form() { return rig.core.rulesForm(); }
    // The editor opens, the user leaves `text` and presses OK; the window
    // closes once the close query lets it, at the latest after `attempts`.
    void editAndPressOk(const QStringList& text, int attempts = 1)
    {
        rig.view.onRulesEditor = [this, text, attempts] {
            openedWith = form().RulesMemo;
            statusWhileOpen = rig.view.status[1];
            form().FormActivate();
            form().RulesMemo = text;
            form().Modified = true;
            for (int i = 0; i < attempts; ++i) {
                if (form().FormCloseQuery(rig.view))
                    return true;
            }
            // Still open: the user gives up with Cancel.
            closedOnItsOwn = false;
            form().CancelButtClick();
            EXPECT_TRUE(form().FormCloseQuery(rig.view));
            return false;
        };
        rig.core.RulesEditButtClick();
    }

    Rig rig;
    QStringList openedWith;
    QString statusWhileOpen;
    bool closedOnItsOwn = true;
};

TEST_F(RulesEditButt, OkWithAValidTextReplacesTheList)
{
    rig.core.project().setChangeCount(2);
    editAndPressOk({QString(), u"2L=03H"_s, u"  "_s, u"3Hor4H=16L"_s});
    EXPECT_EQ(openedWith, QStringList{u"1H=01H"_s});
    EXPECT_EQ(statusWhileOpen, u"Edit input rules"_s);
    EXPECT_EQ(rig.core.rules().RulesList(), (QStringList{u"2L=03H"_s, u"3Hor4H=16L"_s}));
    EXPECT_EQ(rig.core.project().ChangeCount(), 3);
    EXPECT_TRUE(rig.core.rules().RulesOn());
    EXPECT_TRUE(rig.view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(rig.view.status[1], u"Ready"_s);
    EXPECT_EQ(rig.view.beeps, 0);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(RulesEditButt, AnUnmodifiedTextCountsNoChange)
{
    rig.view.onRulesEditor = [this] {
        form().FormActivate();
        return form().FormCloseQuery(rig.view);
    };
    rig.core.RulesEditButtClick();
    EXPECT_EQ(rig.core.rules().RulesList(), QStringList{u"1H=01H"_s});
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
}

TEST_F(RulesEditButt, AnEmptyTextEmptiesTheList)
{
    editAndPressOk({QString(), u" "_s});
    EXPECT_TRUE(rig.core.rules().RulesList().isEmpty());
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
}

TEST_F(RulesEditButt, LeavingAFaultyTextDropsTheListAndSwitchesTheRulesOff)
{
    rig.view.answers = {View::Answer::No};
    editAndPressOk({u"1H=1H"_s});
    EXPECT_TRUE(closedOnItsOwn);
    EXPECT_EQ(rig.view.beeps, 1);
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, u"Confirm"_s);
    EXPECT_EQ(rig.view.boxes.at(0).text, kFaultyQuestion);
    EXPECT_EQ(rig.view.lastButtons, View::Buttons::YesNo);
    EXPECT_FALSE(form().AcceptText);

    EXPECT_TRUE(rig.core.rules().RulesList().isEmpty());
    EXPECT_FALSE(rig.core.rules().RulesOn());
    EXPECT_FALSE(rig.view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_EQ(rig.view.status[1], u"Ready"_s);
}

TEST_F(RulesEditButt, YesKeepsTheEditorOpenForCorrection)
{
    rig.view.answers = {View::Answer::Yes};
    rig.view.onRulesEditor = [this] {
        form().FormActivate();
        form().RulesMemo = {u"1H=1H"_s};
        form().Modified = true;
        const bool closedFirst = form().FormCloseQuery(rig.view);
        form().RulesMemo = {u"1H=11H"_s};
        const bool closedSecond = form().FormCloseQuery(rig.view);
        return !closedFirst && closedSecond;
    };
    rig.core.RulesEditButtClick();
    EXPECT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.core.rules().RulesList(), QStringList{u"1H=11H"_s});
    EXPECT_TRUE(rig.core.rules().RulesOn());
}

TEST_F(RulesEditButt, AQuestionClosedWithoutAnAnswerKeepsTheEditorOpen)
{
    rig.view.answers = {View::Answer::Cancel, View::Answer::Cancel};
    editAndPressOk({u"1H=1H"_s}, 2);
    EXPECT_FALSE(closedOnItsOwn);
    EXPECT_EQ(rig.view.boxes.size(), 2);
    EXPECT_EQ(rig.core.rules().RulesList(), QStringList{u"1H=01H"_s});
    EXPECT_TRUE(rig.core.rules().RulesOn());
}

TEST_F(RulesEditButt, CancelKeepsListAndSwitch)
{
    rig.view.onRulesEditor = [this] {
        form().FormActivate();
        form().RulesMemo = {u"garbage"_s};
        form().Modified = true;
        form().CancelButtClick();
        EXPECT_TRUE(form().FormCloseQuery(rig.view));
        return false;
    };
    rig.core.RulesEditButtClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.view.beeps, 0);
    EXPECT_EQ(rig.core.rules().RulesList(), QStringList{u"1H=01H"_s});
    EXPECT_TRUE(rig.core.rules().RulesOn());
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_EQ(rig.view.status[1], u"Ready"_s);
}

TEST_F(RulesEditButt, AFaultyTextLeftThroughTheCloseBoxChangesNothing)
{
    // The close box asks like OK does, but the window's result is not OK.
    rig.view.answers = {View::Answer::No};
    rig.view.onRulesEditor = [this] {
        form().FormActivate();
        form().RulesMemo = {u"1H"_s};
        EXPECT_TRUE(form().FormCloseQuery(rig.view));
        return false;
    };
    rig.core.RulesEditButtClick();
    EXPECT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.core.rules().RulesList(), QStringList{u"1H=01H"_s});
    EXPECT_TRUE(rig.core.rules().RulesOn());
    EXPECT_TRUE(rig.view.lamp(View::Lamp::InputRules));
}

TEST_F(RulesEditButt, DoesNothingWhileTheSystemIsActive)
{
    rig.activateAndCycle(1);
    rig.view.statusHistory[1].clear();
    int shown = 0;
    rig.view.onRulesEditor = [&shown] {
        ++shown;
        return true;
    };
    rig.core.RulesEditButtClick();
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(rig.view.statusHistory[1].isEmpty());
    EXPECT_EQ(rig.core.rules().RulesList(), QStringList{u"1H=01H"_s});
}

TEST_F(RulesEditButt, EveryOpeningStartsFromTheList)
{
    form().RulesMemo = {u"left over"_s};
    form().AcceptText = false;
    form().Modified = true;
    rig.view.onRulesEditor = [this] {
        openedWith = form().RulesMemo;
        return false;
    };
    rig.core.RulesEditButtClick();
    EXPECT_EQ(openedWith, QStringList{u"1H=01H"_s});
}

} // namespace

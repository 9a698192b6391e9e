// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"
#include "rules/rulesform.h"

#include <QStringList>

// The INPUT RULES function: the rules list, its switch and its editor, and
// the step that lets the rules drive the relays after an input read.
class RulesSwitch
{
public:
    explicit RulesSwitch(View& view) : m_view(view) {}
    RulesSwitch(const RulesSwitch&) = delete;
    RulesSwitch& operator=(const RulesSwitch&) = delete;

    [[nodiscard]] bool RulesOn() const { return m_rulesOn; }
    [[nodiscard]] const QStringList& RulesList() const { return m_rulesList; }
    // The rules editor's form object.
    [[nodiscard]] RulesForm& rulesForm() { return m_rulesForm; }

    // The INPUT RULES switch; an empty list never switches on.
    void InputRulesSBClick();
    // The rules editor on the list; true when the user changed the rules.
    [[nodiscard]] bool RulesEditButtClick();
    // The relay word once the rules have judged the inputs; an empty list
    // leaves it as it is.
    [[nodiscard]] int ModifyOutputFromRulesBase(int portIn, int portOut) const;

    // Start-up switches the rules off; the lamp is left as it is.
    void switchOff() { m_rulesOn = false; }
    // The rules of a project, taken as they are.
    void setRulesList(const QStringList& list) { m_rulesList = list; }
    // After a project load: the rules checker cleans the loaded list of its
    // blank lines; a list with an error goes whole, with a message.
    void checkLoadedRules();

private:
    View& m_view;
    RulesForm m_rulesForm;
    bool m_rulesOn = false;
    QStringList m_rulesList;
};

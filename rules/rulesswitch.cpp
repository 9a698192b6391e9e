// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rulesswitch.h"

#include "rules/rules.h"

int RulesSwitch::ModifyOutputFromRulesBase(int portIn, int portOut) const
{
    if (m_rulesList.isEmpty())
        return portOut;
    return rules::ModifyOutputFromRules(m_rulesList, portIn, portOut);
}

void RulesSwitch::InputRulesSBClick()
{
    if (m_rulesOn) {
        m_view.setLamp(View::Lamp::InputRules, false);
        m_view.setStatusText(View::Panel::Message, QStringLiteral("Input rules OFF"));
        m_rulesOn = false;
        return;
    }
    if (m_rulesList.isEmpty()) {
        m_view.showInformation(QStringLiteral("Rules list empty"));
        return;
    }
    m_rulesOn = true;
    m_view.setLamp(View::Lamp::InputRules, true);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Input rules ON"));
}

bool RulesSwitch::RulesEditButtClick()
{
    bool changed = false;
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Edit input rules"));
    m_rulesForm.RulesMemo = m_rulesList;
    if (m_view.showRulesEditor()) {
        if (m_rulesForm.AcceptText) {
            // The check on close has already removed the blank lines.
            m_rulesList = m_rulesForm.RulesMemo;
            changed = m_rulesForm.Modified;
        } else {
            // The user left a faulty text: the whole list goes, and the
            // function with it. The lamp goes off too, so it never shows the
            // rules on while RulesOn is false.
            m_rulesOn = false;
            m_rulesList.clear();
            m_view.setLamp(View::Lamp::InputRules, false);
        }
    }
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
    return changed;
}

void RulesSwitch::checkLoadedRules()
{
    if (m_rulesList.isEmpty())
        return;
    m_rulesForm.RulesMemo = m_rulesList;
    if (m_rulesForm.CheckRules()) {
        // The check drops blank lines; the list holds only the rules.
        m_rulesList = m_rulesForm.RulesMemo;
    } else {
        m_rulesList.clear();
        m_view.showError(
            QStringLiteral("Errors found in the loaded rules. The rules are not used.\r\r") +
            m_rulesForm.RulesError);
    }
}

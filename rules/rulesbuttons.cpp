// The INPUT RULES panel of the main window and the hook of the rules into the
// input reply.
#include "controller/relay.h"

#include "rules/rules.h"

void Controller::ModifyOutputFromRulesBase()
{
    if (RulesList.isEmpty())
        return;
    PortOut = rules::ModifyOutputFromRules(RulesList, PortIn, PortOut);
}

void Controller::InputRulesSBClick()
{
    if (RulesOn) {
        m_view.setLamp(View::Lamp::InputRules, false);
        m_view.setStatusText(View::Panel::Message, QStringLiteral("Input rules OFF"));
        RulesOn = false;
        return;
    }
    if (RulesList.isEmpty()) {
        m_view.showInformation(QStringLiteral("Rules list empty"));
        return;
    }
    RulesOn = true;
    m_view.setLamp(View::Lamp::InputRules, true);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Input rules ON"));
}

void Controller::RulesEditButtClick()
{
    if (SystemActive)
        return;
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Edit input rules"));
    m_rulesForm.RulesMemo = RulesList;
    if (m_view.showRulesEditor()) {
        if (m_rulesForm.AcceptText) {
            // The check on close has already removed the blank lines.
            RulesList = m_rulesForm.RulesMemo;
            if (m_rulesForm.Modified)
                ++ChangeCount;
        } else {
            // The user left a faulty text: the whole list goes, and the
            // function with it. The lamp goes off too, so it never shows the
            // rules on while RulesOn is false.
            RulesOn = false;
            RulesList.clear();
            m_view.setLamp(View::Lamp::InputRules, false);
        }
    }
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
}

// The INPUT RULES panel of the main window and the hook of the rules into the
// input reply.
#include "controller/relay.h"

bool RulesForm::CheckRules()
{
    return true;
}

void Controller::ModifyOutputFromRulesBase()
{
}

void Controller::InputRulesSBClick()
{
    if (RulesOn) {
        m_view.setLamp(View::Lamp::InputRules, false);
        m_view.setStatusText(1, QStringLiteral("Input rules OFF"));
        RulesOn = false;
        return;
    }
    if (RulesList.isEmpty()) {
        m_view.showInformation(QStringLiteral("Rules list empty"));
        return;
    }
    RulesOn = true;
    m_view.setLamp(View::Lamp::InputRules, true);
    m_view.setStatusText(1, QStringLiteral("Input rules ON"));
}

void Controller::RulesEditButtClick()
{
}

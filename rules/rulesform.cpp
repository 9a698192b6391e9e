// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rulesform.h"

#include "common/view.h"
#include "rules/rules.h"

bool RulesForm::CheckRules()
{
    return rules::CheckRules(RulesMemo, RulesError, SyntaxPos);
}

void RulesForm::FormActivate()
{
    AcceptText = true;
    Modified = false;
}

void RulesForm::CancelButtClick()
{
    AcceptText = false;
}

bool RulesForm::FormCloseQuery(View& view)
{
    if (!AcceptText || CheckRules())
        return true;
    view.beep();
    const View::Answer answer = view.confirm(
        QStringLiteral("Rules text has errors.\r\r") + RulesError +
            QStringLiteral("\r\rIf you choose to exit, the text will not be used.\r\rContinue?"),
        View::Buttons::YesNo, View::Answer::Yes);
    if (answer != View::Answer::No) {
        // Yes goes on correcting; so do Esc and the box's close button, which
        // give Yes. A faulty text can never leave the editor to be used, nor
        // be dropped by a key pressed to get rid of the box.
        return false;
    }
    AcceptText = false;
    return true;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rulesform.h"

#include "common/view.h"
#include "rules/interlockcheck.h"
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

void RulesForm::setBoardSettings(const safety::BoardSettings& settings)
{
    m_boardSettings = settings;
}

bool RulesForm::closeWithWarnings(View& view) const
{
    const QStringList warnings = rules::InterlockWarnings(RulesMemo, m_boardSettings);
    if (warnings.isEmpty())
        return true;
    // Warnings never keep a text from being used: the controller holds the
    // relays apart whatever the rules ask. Yes (and Esc) go on editing, as
    // in the question about errors, since that loses nothing.
    view.beep();
    const View::Answer answer = view.confirm(
        QStringLiteral("Rules text has warnings.\r\r") + warnings.join(QLatin1Char('\r')) +
            QStringLiteral("\r\rThe interlocks will hold one of the relays off.\r\rIf you "
                           "choose to exit, the text will be used as it is.\r\rContinue?"),
        View::Buttons::YesNo, View::Answer::Yes);
    return answer == View::Answer::No;
}

bool RulesForm::FormCloseQuery(View& view)
{
    if (!AcceptText)
        return true;
    if (CheckRules())
        return closeWithWarnings(view);
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

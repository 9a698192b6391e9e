// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"

#include <QString>
#include <QStringList>

class View;

// The rules editor's own state: the text of RulesMemo as lines, the check
// result and the flags the main window reads after the editor closed. The
// window only shows RulesMemo and passes clicks and keys here.
class RulesForm
{
public:
    QStringList RulesMemo;
    // The editor's modified flag: the user changed the text since activation.
    bool Modified = false;
    // True while the edited text is to be checked on close and used.
    bool AcceptText = true;
    QString RulesError;
    int SyntaxPos = 0;

    // True when every line is a valid rule and there are at most 10; removes
    // blank lines from RulesMemo. On false RulesError holds the message.
    [[nodiscard]] bool CheckRules();

    // The window was activated: a fresh edit starts.
    void FormActivate();
    // Cancel: the text is neither checked nor used.
    void CancelButtClick();
    // Every attempt to close the window. Returns whether it may close. A
    // faulty text to be used makes `view` beep and ask whether to go on
    // correcting; only the answer No closes, and the text is then dropped.
    // A sound text that switches relays of one interlock group on together
    // asks the same way, and closes to be used on No.
    [[nodiscard]] bool FormCloseQuery(View& view);

    // The board's settings the warnings are judged by; none by default.
    void setBoardSettings(const safety::BoardSettings& settings);

private:
    [[nodiscard]] bool closeWithWarnings(View& view) const;

    safety::BoardSettings m_boardSettings;
};

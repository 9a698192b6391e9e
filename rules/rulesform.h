#pragma once

#include <QString>
#include <QStringList>

// The rules editor's own state: the text of RulesMemo as lines, the check
// result and the flags the main window reads after the editor closed.
class RulesForm
{
public:
    QStringList RulesMemo;
    bool Modified = false;
    bool AcceptText = true;
    QString RulesError;
    int SyntaxPos = 0;

    // True when every line is a valid rule and there are at most 10; removes
    // blank lines from RulesMemo. On false RulesError holds the message.
    [[nodiscard]] bool CheckRules();
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

// The input rules language: one rule per line, a chain of input conditions
// joined by "and"/"or", "=", then the relays to drive, for example
// 1Hand3L=01H02H03H04L. The checker below is the only gate into RulesList;
// the evaluation folds each line strictly left to right, without precedence.
//
// Positions are 1-based throughout, as they are shown to the user.
namespace rules {

// More lines than this fail the check.
constexpr int kMaxRuleLines = 10;

// The expected items the syntax scanner names in its message.
inline const QString kExpectInput = QStringLiteral("Input number [1 - 6]");
inline const QString kExpectState = QStringLiteral("Logic state [H]  [L]");
inline const QString kExpectOperator = QStringLiteral("Operator [OR] [AND] [=]");
inline const QString kExpectTens = QStringLiteral("Output number tens [0 or 1]");
inline const QString kExpectUnits0 = QStringLiteral("Output number units [1 - 9]");
inline const QString kExpectUnits1 = QStringLiteral("Output number units [0 - 6]");

// The text without any character below 33 or above 127; used only to find
// blank lines.
[[nodiscard]] QString TrimSpaces(QStringView text);

// The position of the first character that may not stand in a rule line
// (anything but backspace, carriage return, a digit, "=", H, L, a, d, n, o,
// r), or 0 when there is none.
[[nodiscard]] int CheckIllegalChars(QStringView text);

// Which operator starts at pos: 1 for "=", 2 for "or", 3 for "and", 0 for
// none. Case-sensitive; near the end of the line the compared text is shorter.
[[nodiscard]] int CheckORAND(QStringView line, int pos);

// True for the state letters "H" and "L" only.
[[nodiscard]] bool CheckHL(QChar c);

struct SyntaxResult
{
    // What the scanner wanted where it stopped; empty when the line is valid.
    QString expected;
    // Where the scan stopped: the offending character, or length + 1 when the
    // line ended.
    int pos = 0;
};

// Scans one line; valid exactly when it ends right after the state letter of
// an output.
[[nodiscard]] SyntaxResult CheckSyntax(QStringView line);

// Removes blank lines from `lines`, then checks the rest: at most 10 lines,
// each free of illegal characters and syntactically valid. Stops at the first
// fault and leaves its message in `error` (untouched on success); leaves the
// scanner's last stop position in `syntaxPos`.
[[nodiscard]] bool CheckRules(QStringList& lines, QString& error, int& syntaxPos);

// The key filter of the rules editor: the character the editor takes for a
// typed one, or a null QChar when the key is dropped. Letters are upper-cased
// except the operator letters a, d, n, o, r, which are lowered.
[[nodiscard]] QChar RulesMemoKeyPress(QChar typed);

// The truth of one condition term: input `digit` (1 to 6; any other
// character counts as input 6) in the state `state` ("H" high, else low).
[[nodiscard]] int ComputeState(QChar digit, QChar state, int portIn);

// Drives the relay numbered by the two-digit `number` (01 to 16) from the
// condition: H follows it, L follows its inverse. A number outside 1 to 16,
// which a checked line never holds, leaves the word as it is.
[[nodiscard]] int ModifyPortOUT(QStringView number, QChar state, int cond, int portOut);

// Applies every line, in order, to the relay word and returns the new word.
// Every output of every line is written, so a later line naming the same
// relay decides. Lines are expected to have passed CheckRules; any other line
// is still read only within its own characters.
[[nodiscard]] int ModifyOutputFromRules(std::span<const QStringView> lines, int portIn,
                                        int portOut);
[[nodiscard]] int ModifyOutputFromRules(const QStringList& lines, int portIn, int portOut);

// The relays the lines write, whatever the inputs (bit n is relay n+1).
[[nodiscard]] int DrivenRelays(const QStringList& lines);

} // namespace rules

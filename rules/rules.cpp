// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rules.h"

#include <algorithm>

namespace rules {

namespace {

// The character at a 1-based position, or a null character outside the
// line: the evaluation may meet lines that never passed the check and must
// not read past their end.
QChar charAt(QStringView line, qsizetype pos)
{
    return pos >= 1 && pos <= line.size() ? line[pos - 1] : QChar();
}

// Up to `count` characters from a 1-based position; shorter near the end.
QStringView textAt(QStringView line, qsizetype pos, qsizetype count)
{
    if (pos < 1 || pos > line.size())
        return {};
    return line.sliced(pos - 1, std::min(count, line.size() - pos + 1));
}

bool isLegal(QChar c)
{
    switch (c.unicode()) {
    case 8:
    case 13:
    case u'=':
    case u'H':
    case u'L':
    case u'a':
    case u'd':
    case u'n':
    case u'o':
    case u'r':
        return true;
    default:
        return c >= u'0' && c <= u'9';
    }
}

bool inRange(QChar c, char16_t first, char16_t last)
{
    return c.unicode() >= first && c.unicode() <= last;
}

// The character at pos as the message shows it: a whole surrogate pair when
// one starts there, so the box never shows half a character.
QString shownCharAt(QStringView line, qsizetype pos)
{
    const QChar c = charAt(line, pos);
    if (c.isHighSurrogate() && charAt(line, pos + 1).isLowSurrogate())
        return textAt(line, pos, 2).toString();
    return QString(c);
}

QString positionText(int lineNumber, int pos)
{
    return QStringLiteral("Line: %1.\rCharacter: %2").arg(lineNumber).arg(pos);
}

} // namespace

QString TrimSpaces(QStringView text)
{
    QString trimmed;
    for (const QChar c : text) {
        if (c.unicode() >= 33 && c.unicode() <= 127)
            trimmed += c;
    }
    return trimmed;
}

int CheckIllegalChars(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLegal(text[i]))
            return static_cast<int>(i + 1);
    }
    return 0;
}

int CheckORAND(QStringView line, int pos)
{
    if (textAt(line, pos, 1) == u"=")
        return 1;
    if (textAt(line, pos, 2) == u"or")
        return 2;
    if (textAt(line, pos, 3) == u"and")
        return 3;
    return 0;
}

bool CheckHL(QChar c)
{
    return c == u'H' || c == u'L';
}

SyntaxResult CheckSyntax(QStringView line)
{
    enum class State
    {
        Input,
        InputState,
        Operator,
        Tens,
        Units,
        OutputState
    };
    State state = State::Input;
    bool tensOne = false;
    QString expected = kExpectInput;
    qsizetype p = 1;
    while (p <= line.size()) {
        const QChar c = line[p - 1];
        qsizetype advance = 1;
        bool accepted = true;
        switch (state) {
        case State::Input:
            accepted = inRange(c, u'1', u'6');
            if (accepted) {
                expected = kExpectState;
                state = State::InputState;
            }
            break;
        case State::InputState:
            accepted = CheckHL(c);
            if (accepted) {
                expected = kExpectOperator;
                state = State::Operator;
            }
            break;
        case State::Operator:
            switch (CheckORAND(line, static_cast<int>(p))) {
            case 1:
                expected = kExpectTens;
                state = State::Tens;
                break;
            case 2:
                expected = kExpectInput;
                state = State::Input;
                advance = 2;
                break;
            case 3:
                expected = kExpectInput;
                state = State::Input;
                advance = 3;
                break;
            default:
                accepted = false;
                break;
            }
            break;
        case State::Tens:
            accepted = c == u'0' || c == u'1';
            if (accepted) {
                tensOne = c == u'1';
                expected = tensOne ? kExpectUnits1 : kExpectUnits0;
                state = State::Units;
            } else {
                // After a complete output nothing is expected any more, but a
                // stray character there still wants another output.
                expected = kExpectTens;
            }
            break;
        case State::Units:
            accepted = tensOne ? inRange(c, u'0', u'6') : inRange(c, u'1', u'9');
            if (accepted) {
                expected = kExpectState;
                state = State::OutputState;
            }
            break;
        case State::OutputState:
            accepted = CheckHL(c);
            if (accepted) {
                expected.clear();
                state = State::Tens;
            }
            break;
        }
        if (!accepted)
            return {expected, static_cast<int>(p)};
        p += advance;
    }
    return {expected, static_cast<int>(line.size() + 1)};
}

bool CheckRules(QStringList& lines, QString& error, int& syntaxPos)
{
    lines.removeIf([](const QString& line) { return TrimSpaces(line).isEmpty(); });
    if (lines.size() > kMaxRuleLines) {
        error = QStringLiteral("Rules line limit exceeded. Max 10");
        return false;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const int lineNumber = static_cast<int>(i + 1);
        if (const int pos = CheckIllegalChars(line); pos != 0) {
            error = QStringLiteral("Illegal character.\r") + positionText(lineNumber, pos) +
                    QStringLiteral("  [") + shownCharAt(line, pos) + QStringLiteral("]");
            return false;
        }
        const SyntaxResult syntax = CheckSyntax(line);
        syntaxPos = syntax.pos;
        if (!syntax.expected.isEmpty()) {
            const QString found =
                syntax.pos <= line.size()
                    ? QStringLiteral("  [") + shownCharAt(line, syntax.pos) + QStringLiteral("]")
                    : QStringLiteral("  [missing?]");
            error = QStringLiteral("Syntax Error.\r") + positionText(lineNumber, syntax.pos) +
                    found + QStringLiteral("\r\rExpecting: ") + syntax.expected;
            return false;
        }
    }
    return true;
}

QChar RulesMemoKeyPress(QChar typed)
{
    const QChar upper = typed.toUpper();
    switch (upper.unicode()) {
    case 8:
    case 13:
    case u'=':
    case u'H':
    case u'L':
        return upper;
    case u'A':
    case u'D':
    case u'N':
    case u'O':
    case u'R':
        return upper.toLower();
    default:
        return inRange(upper, u'0', u'9') ? upper : QChar();
    }
}

int ComputeState(QChar digit, QChar state, int portIn)
{
    int mask = 32;
    if (inRange(digit, u'1', u'5'))
        mask = 1 << (digit.unicode() - u'1');
    if (state == u'H')
        return (portIn & mask) == mask ? 1 : 0;
    return (portIn & mask) == 0 ? 1 : 0;
}

int ModifyPortOUT(QStringView number, QChar state, int cond, int portOut)
{
    bool ok = false;
    const int relay = number.toInt(&ok);
    if (!ok || relay < 1 || relay > 16)
        return portOut;
    const int mask = 1 << (relay - 1);
    const bool on = state == u'H' ? cond == 1 : cond == 0;
    if (on)
        return portOut | mask;
    return (portOut & (mask ^ 0xFFFF)) & 0xFFFF;
}

int ModifyOutputFromRules(std::span<const QStringView> lines, int portIn, int portOut)
{
    for (const QStringView s : lines) {
        int cond = ComputeState(charAt(s, 1), charAt(s, 2), portIn);
        qsizetype p = 3;
        while (p <= s.size()) {
            if (s[p - 1] == u'=') {
                for (++p; p <= s.size(); p += 3)
                    portOut = ModifyPortOUT(textAt(s, p, 2), charAt(s, p + 2), cond, portOut);
                break;
            }
            if (textAt(s, p, 3) == u"and") {
                cond &= ComputeState(charAt(s, p + 3), charAt(s, p + 4), portIn);
                p += 5;
            } else {
                cond |= ComputeState(charAt(s, p + 2), charAt(s, p + 3), portIn);
                p += 4;
            }
        }
    }
    return portOut;
}

int ModifyOutputFromRules(const QStringList& lines, int portIn, int portOut)
{
    QList<QStringView> views;
    views.reserve(lines.size());
    for (const QString& line : lines)
        views.append(line);
    return ModifyOutputFromRules(
        std::span<const QStringView>(views.constData(), static_cast<size_t>(views.size())), portIn,
        portOut);
}

int DrivenRelays(const QStringList& lines)
{
    // A relay a line names gets the line's condition whatever it held, so
    // it comes out the same from an all-clear and an all-set word; every
    // other relay keeps what it held.
    const int fromClear = ModifyOutputFromRules(lines, 0, 0);
    const int fromSet = ModifyOutputFromRules(lines, 0, 0xFFFF);
    return ~(fromClear ^ fromSet) & 0xFFFF;
}

} // namespace rules

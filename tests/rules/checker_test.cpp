// SPDX-License-Identifier: GPL-3.0-or-later
#include "printers.h"
#include "rules/rules.h"
#include "rules/rulesform.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct CheckCase
{
    QStringList text;
    bool valid;
    const char16_t* message; // RulesError after a failed check
};

// Each faulty text with the one message the user sees for it.
// clang-format off
const CheckCase kCheckCases[] = {
    {{u"1H=01H"_s}, true, u""},
    {{u"1Hor2H=01H"_s}, true, u""},
    {{u"1Hand3L=01H02H03H04L"_s}, true, u""},
    {{u"6L=16H10L"_s}, true, u""},
    {{u"1Hand2Hor3L=01H"_s}, true, u""},
    {{u"1Hand2L=05H06L"_s}, true, u""},
    {{u"1H=10H16L09H"_s}, true, u""},
    {{u"1H=1H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 5  [H]\r\rExpecting: Output number units [0 - 6]"},
    {{u"1H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 3  [missing?]\r\rExpecting: Operator [OR] [AND] [=]"},
    {{u"1Hor"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 5  [missing?]\r\rExpecting: Input number [1 - 6]"},
    {{u"1H=00H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 5  [0]\r\rExpecting: Output number units [1 - 9]"},
    {{u"1H=17H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 5  [7]\r\rExpecting: Output number units [0 - 6]"},
    {{u"1H=20H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 4  [2]\r\rExpecting: Output number tens [0 or 1]"},
    {{u"1H=01H5L"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 7  [5]\r\rExpecting: Output number tens [0 or 1]"},
    {{u"7H=01H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 1  [7]\r\rExpecting: Input number [1 - 6]"},
    {{u"1HAND2H=01H"_s}, false, u"Illegal character.\rLine: 1.\rCharacter: 3  [A]"},
    {{u"1H = 01H"_s}, false, u"Illegal character.\rLine: 1.\rCharacter: 3  [ ]"},
    {{u"1H=01"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 6  [missing?]\r\rExpecting: Logic state [H]  [L]"},
    {{u"1H="_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 4  [missing?]\r\rExpecting: Output number tens [0 or 1]"},
    {{u"1H=0"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 5  [missing?]\r\rExpecting: Output number units [1 - 9]"},
    {{u"12"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 2  [2]\r\rExpecting: Logic state [H]  [L]"},
    {{u"1Han2H=01H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 3  [a]\r\rExpecting: Operator [OR] [AND] [=]"},
    {{u"1Hand"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 6  [missing?]\r\rExpecting: Input number [1 - 6]"},
    {{u"1H==01H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 4  [=]\r\rExpecting: Output number tens [0 or 1]"},
    {{u"1H=01Hor2H"_s}, false,
     u"Syntax Error.\rLine: 1.\rCharacter: 7  [o]\r\rExpecting: Output number tens [0 or 1]"},
    // The faulty line is named by its number; the lines before it are fine.
    {{u"1H=01H"_s, u"2H=02H"_s, u"3Hx=03H"_s}, false,
     u"Illegal character.\rLine: 3.\rCharacter: 3  [x]"},
    {{u"1H=01H"_s, u"2H=0"_s}, false,
     u"Syntax Error.\rLine: 2.\rCharacter: 5  [missing?]\r\rExpecting: Output number units [1 - 9]"},
    // Blank lines do not count when lines are numbered: they are gone first.
    {{u""_s, u"  "_s, u"1H=01H"_s, u""_s, u"1H"_s}, false,
     u"Syntax Error.\rLine: 2.\rCharacter: 3  [missing?]\r\rExpecting: Operator [OR] [AND] [=]"},
    // An illegal character is reported before any syntax fault of its line.
    {{u"7H=01Hx"_s}, false, u"Illegal character.\rLine: 1.\rCharacter: 7  [x]"},
};
// clang-format on

TEST(CheckRules, ReportsTheFirstFaultWithItsPosition)
{
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.text.join(u'|').toStdString());
        RulesForm form;
        form.RulesMemo = c.text;
        EXPECT_EQ(form.CheckRules(), c.valid);
        EXPECT_EQ(form.RulesError, QString::fromUtf16(c.message));
    }
}

TEST(CheckRules, ElevenLinesExceedTheLimitWhateverTheyHold)
{
    RulesForm form;
    form.RulesMemo = QStringList(11, u"1H=01H"_s);
    EXPECT_FALSE(form.CheckRules());
    EXPECT_EQ(form.RulesError, u"Rules line limit exceeded. Max 10"_s);

    // The limit comes before any line is looked at.
    form.RulesMemo = QStringList(11, u"garbage"_s);
    form.RulesError.clear();
    EXPECT_FALSE(form.CheckRules());
    EXPECT_EQ(form.RulesError, u"Rules line limit exceeded. Max 10"_s);
}

TEST(CheckRules, TenLinesAmongBlankOnesPassAndTheBlankLinesAreRemoved)
{
    RulesForm form;
    for (int i = 1; i <= 10; ++i)
        form.RulesMemo << QString() << u"%1H=%2L"_s.arg(i % 6 + 1).arg(i, 2, 10, QChar(u'0'))
                       << u" \t "_s;
    EXPECT_TRUE(form.CheckRules());
    ASSERT_EQ(form.RulesMemo.size(), 10);
    EXPECT_EQ(form.RulesMemo.first(), u"2H=01L"_s);
    EXPECT_EQ(form.RulesMemo.last(), u"5H=10L"_s);
}

TEST(CheckRules, AnEmptyTextOrOneOfBlankLinesPasses)
{
    RulesForm form;
    EXPECT_TRUE(form.CheckRules());
    EXPECT_TRUE(form.RulesMemo.isEmpty());

    form.RulesMemo = {QString(), u"   "_s, u"\t"_s, QString(QChar(0xA0))};
    EXPECT_TRUE(form.CheckRules());
    EXPECT_TRUE(form.RulesMemo.isEmpty());
}

TEST(CheckRules, KeptLinesStayExactlyAsTyped)
{
    // Only whole blank lines go; nothing inside a kept line is touched, so a
    // space around a rule is still reported.
    RulesForm form;
    form.RulesMemo = {u" 1H=01H"_s};
    EXPECT_FALSE(form.CheckRules());
    EXPECT_EQ(form.RulesMemo, QStringList{u" 1H=01H"_s});
    EXPECT_EQ(form.RulesError, u"Illegal character.\rLine: 1.\rCharacter: 1  [ ]"_s);
}

TEST(CheckRules, ASuccessfulCheckKeepsTheLastMessage)
{
    RulesForm form;
    form.RulesMemo = {u"1H"_s};
    EXPECT_FALSE(form.CheckRules());
    const QString message = form.RulesError;
    form.RulesMemo = {u"1H=01H"_s};
    EXPECT_TRUE(form.CheckRules());
    EXPECT_EQ(form.RulesError, message);
}

TEST(CheckRules, AMessageNeverShowsHalfACharacter)
{
    RulesForm form;
    form.RulesMemo = {u"1H=01H\U0001F600"_s};
    EXPECT_FALSE(form.CheckRules());
    EXPECT_EQ(form.RulesError, u"Illegal character.\rLine: 1.\rCharacter: 7  [\U0001F600]"_s);
}

TEST(CheckSyntax, StopsWhereTheScanStopsOrOnePastTheEnd)
{
    EXPECT_EQ(rules::CheckSyntax(u"1H=01H").pos, 7);
    EXPECT_TRUE(rules::CheckSyntax(u"1H=01H").expected.isEmpty());
    EXPECT_EQ(rules::CheckSyntax(u"").pos, 1);
    EXPECT_EQ(rules::CheckSyntax(u"").expected, rules::kExpectInput);

    RulesForm form;
    form.RulesMemo = {u"1Hor"_s};
    EXPECT_FALSE(form.CheckRules());
    EXPECT_EQ(form.SyntaxPos, 5);
}

TEST(CheckHelpers, IllegalCharacters)
{
    EXPECT_EQ(rules::CheckIllegalChars(u""), 0);
    EXPECT_EQ(rules::CheckIllegalChars(u"0123456789=HLadnor\b\r"), 0);
    EXPECT_EQ(rules::CheckIllegalChars(u"1h"), 2);
    EXPECT_EQ(rules::CheckIllegalChars(u"1HOR"), 3);
    EXPECT_EQ(rules::CheckIllegalChars(u"\t1H"), 1);
    EXPECT_EQ(rules::CheckIllegalChars(u"1H=01H\n"), 7);
}

TEST(CheckHelpers, OperatorsAndStateLetters)
{
    EXPECT_EQ(rules::CheckORAND(u"1H=01H", 3), 1);
    EXPECT_EQ(rules::CheckORAND(u"1Hor2H", 3), 2);
    EXPECT_EQ(rules::CheckORAND(u"1Hand2H", 3), 3);
    EXPECT_EQ(rules::CheckORAND(u"1Han", 3), 0);
    EXPECT_EQ(rules::CheckORAND(u"1Ho", 3), 0);
    EXPECT_EQ(rules::CheckORAND(u"1HOR2H", 3), 0);
    EXPECT_EQ(rules::CheckORAND(u"1H", 3), 0);

    EXPECT_TRUE(rules::CheckHL(u'H'));
    EXPECT_TRUE(rules::CheckHL(u'L'));
    EXPECT_FALSE(rules::CheckHL(u'h'));
    EXPECT_FALSE(rules::CheckHL(u'l'));
}

TEST(CheckHelpers, TrimSpacesKeepsOnlyVisibleAscii)
{
    EXPECT_EQ(rules::TrimSpaces(u" \t1H = 01H\r\n"), u"1H=01H"_s);
    EXPECT_EQ(rules::TrimSpaces(u"\u00e9\u00a0~"), u"~"_s);
    EXPECT_EQ(rules::TrimSpaces(u"\x7f"), u"\x7f"_s);
}

TEST(KeyFilter, UpperCasesStateLettersAndLowersOperatorLetters)
{
    struct KeyCase
    {
        char16_t typed;
        char16_t kept; // 0: dropped
    };
    // clang-format off
    const KeyCase cases[] = {
        {u'h', u'H'}, {u'H', u'H'}, {u'l', u'L'}, {u'L', u'L'}, {u'A', u'a'}, {u'a', u'a'},
        {u'D', u'd'}, {u'N', u'n'}, {u'O', u'o'}, {u'r', u'r'}, {u'R', u'r'}, {u'0', u'0'},
        {u'9', u'9'}, {u'=', u'='}, {8, 8},       {13, 13},     {u'b', 0},    {u'Z', 0},
        {u' ', 0},    {u'+', 0},    {u'(', 0},    {9, 0},       {10, 0},      {3, 0},
        {22, 0},      {24, 0},      {27, 0},      {0x00e4, 0},  {0x0131, 0},
    };
    // clang-format on
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.typed));
        EXPECT_EQ(rules::RulesMemoKeyPress(QChar(c.typed)), QChar(c.kept));
    }
}

TEST(KeyFilter, TypingATextGivesItsRuleForm)
{
    QString memo;
    for (const QChar c : u"1hOR2h=01h"_s) {
        if (const QChar kept = rules::RulesMemoKeyPress(c); !kept.isNull())
            memo += kept;
    }
    EXPECT_EQ(memo, u"1Hor2H=01H"_s);
}

} // namespace

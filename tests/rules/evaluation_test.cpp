// SPDX-License-Identifier: GPL-3.0-or-later
#include "printers.h"
#include "rules/rules.h"
#include "support/rig.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kInput1 = 1;
constexpr int kInput2 = 2;
constexpr int kInput3 = 4;
constexpr int kInput6 = 32;

struct EvalCase
{
    const char* name;
    QStringList lines;
    int portIn;
    int portOutBefore;
    int portOutAfter;
};

// clang-format off
const EvalCase kEvalCases[] = {
    {"H output follows a true condition", {u"1H=01H"_s}, kInput1, 0, 0x0001},
    {"H output follows a false condition", {u"1H=01H"_s}, 0, 0x0001, 0x0000},
    {"L output inverts a true condition", {u"1H=01L"_s}, kInput1, 0x0001, 0x0000},
    {"L output inverts a false condition", {u"1H=01L"_s}, 0, 0, 0x0001},
    {"L condition term true on a low input", {u"2L=02H"_s}, kInput1, 0, 0x0002},
    {"the later line wins", {u"1H=01H"_s, u"2H=01L"_s}, kInput1 | kInput2, 0x0001, 0x0000},
    {"the later line wins either way", {u"2H=01L"_s, u"1H=01H"_s}, kInput1 | kInput2, 0,
     0x0001},
    {"or then and, left to right", {u"1Hor2Hand3H=01H"_s}, kInput1, 0x0001, 0x0000},
    {"and then or, left to right", {u"1Hand2Hor3H=01H"_s}, kInput3, 0, 0x0001},
    {"(1L and 2L) or 3H with all low", {u"1Land2Lor3H=01H"_s}, 0, 0, 0x0001},
    {"(1L and 2L) or 3H with input 1 high", {u"1Land2Lor3H=01H"_s}, kInput1, 0x0001, 0x0000},
    {"input 6 drives relay 16", {u"6H=16H"_s}, kInput6, 0, 0x8000},
    {"relay 16 off clears only bit 15", {u"6H=16H"_s}, 0, 0xFFFF, 0x7FFF},
    {"every output of a line is written", {u"1Hand3L=01H02H03H04L"_s}, kInput1, 0x0008,
     0x0007},
    {"every output of a line is written when false", {u"1Hand3L=01H02H03H04L"_s}, 0, 0x0007,
     0x0008},
    {"relays no rule names keep their state", {u"1H=05H"_s}, kInput1, 0xA00A, 0xA01A},
    {"inputs above 6 do not count", {u"6L=10H"_s}, 0xC0, 0, 0x0200},
    {"no lines, no change", {}, kInput1, 0x1234, 0x1234},
};
// clang-format on

TEST(Evaluation, FoldsEachLineLeftToRightAndDrivesEveryOutput)
{
    for (const EvalCase& c : kEvalCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rules::ModifyOutputFromRules(c.lines, c.portIn, c.portOutBefore), c.portOutAfter);
    }
}

TEST(Evaluation, DrivenRelaysAreTheOnesTheLinesName)
{
    EXPECT_EQ(rules::DrivenRelays({}), 0);
    EXPECT_EQ(rules::DrivenRelays({u"1H=05H12L"_s}), (1 << 4) | (1 << 11));
    EXPECT_EQ(rules::DrivenRelays({u"1Hand2L=16H"_s, u"3LOR4H=01L"_s}), (1 << 15) | 1);
    // An unchecked line that names no relay drives none.
    EXPECT_EQ(rules::DrivenRelays({u"1H=17H"_s, u"1H="_s}), 0);
}

TEST(Evaluation, ComputeStateMasksEachInput)
{
    for (int input = 1; input <= 6; ++input) {
        const QChar digit(u'0' + input);
        const int mask = 1 << (input - 1);
        SCOPED_TRACE(input);
        EXPECT_EQ(rules::ComputeState(digit, u'H', mask), 1);
        EXPECT_EQ(rules::ComputeState(digit, u'H', 0x3F & ~mask), 0);
        EXPECT_EQ(rules::ComputeState(digit, u'L', 0x3F & ~mask), 1);
        EXPECT_EQ(rules::ComputeState(digit, u'L', mask), 0);
    }
}

TEST(Evaluation, ModifyPortOutSetsAndClearsOneRelay)
{
    EXPECT_EQ(rules::ModifyPortOUT(u"01", u'H', 1, 0), 0x0001);
    EXPECT_EQ(rules::ModifyPortOUT(u"01", u'L', 1, 0xFFFF), 0xFFFE);
    EXPECT_EQ(rules::ModifyPortOUT(u"16", u'L', 0, 0), 0x8000);
    EXPECT_EQ(rules::ModifyPortOUT(u"16", u'H', 0, 0xFFFF), 0x7FFF);
    EXPECT_EQ(rules::ModifyPortOUT(u"10", u'H', 1, 0), 0x0200);
}

TEST(Evaluation, UncheckedLinesAreReadOnlyWithinThemselves)
{
    // Such lines cannot pass the check; the evaluation still stays inside
    // each line and never names a relay outside 1 to 16.
    const QStringList lines{u""_s,       u"1"_s,     u"1H="_s, u"1H=0"_s,   u"1H=01"_s,
                            u"1Ha"_s,    u"1Han"_s,  u"1Ho"_s, u"1H=00H"_s, u"1H=17H"_s,
                            u"1H=99H"_s, u"x=+1H"_s, u"=="_s};
    for (const QString& line : lines) {
        SCOPED_TRACE(line.toStdString());
        // Each copy is exactly as long as the line, so a read past its end
        // shows under the address sanitizer.
        const std::unique_ptr<QChar[]> exact(new QChar[static_cast<size_t>(line.size())]);
        std::copy(line.cbegin(), line.cend(), exact.get());
        const QStringView view(exact.get(), line.size());
        const int portOut = rules::ModifyOutputFromRules(std::span(&view, 1), 0x3F, 0x5A5A);
        EXPECT_GE(portOut, 0);
        EXPECT_LE(portOut, 0xFFFF);
    }
    EXPECT_EQ(rules::ModifyOutputFromRules(QStringList{u"1H=0"_s}, 1, 0), 0x0000);
    EXPECT_EQ(rules::ModifyOutputFromRules(QStringList{u"1H=17H"_s}, 1, 0x1234), 0x1234);
}

// The rules inside the controller and its poll cycle.
class RulesInController : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        rig.view.boxes.clear();
    }
    // Sets the board's inputs and runs one whole poll cycle.
    void cycleWithInputs(const QByteArray& digits)
    {
        rig.link.inputDigits = digits;
        rig.cycle(1);
    }
    Rig rig;
};

TEST_F(RulesInController, ModifyOutputFromRulesBaseRewritesPortOut)
{
    rig.core.rules().setRulesList({u"1H=01H"_s, u"2H=02L"_s});
    rig.core.poll().takeInputs(kInput1 | kInput2);
    rig.core.requestRelays(0x0002, 0xFFFF, Controller::Source::Manual);
    rig.core.ModifyOutputFromRulesBase();
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0001);
}

TEST_F(RulesInController, RelaysFollowTheInputsWithinOnePollCycle)
{
    rig.core.rules().setRulesList({u"1Hand2L=05H06L"_s});
    rig.core.InputRulesSBClick();
    rig.activateAndCycle(1);
    // Inputs all low: the condition is false, relay 5 off, relay 6 on.
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0020);

    cycleWithInputs("01"); // input 1 high, input 2 low
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0010);
    rig.tick();
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0010\r"));
    rig.link.deliver();

    rig.link.inputDigits = "03"; // inputs 1 and 2 high
    rig.tick();
    rig.link.deliver();
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0020);
    rig.tick();
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0020\r"));
}

TEST_F(RulesInController, ARuleOverridesSetAllAtTheNextInputRead)
{
    rig.core.rules().setRulesList({u"1H=05H"_s});
    rig.core.InputRulesSBClick();
    rig.core.ActiveButtClick();
    rig.core.SetAllButtClick();
    EXPECT_EQ(rig.core.poll().PortOut(), 0xFFFF);

    rig.link.autoReply = true;
    rig.link.inputDigits = "00"; // input 1 low
    rig.tick();                  // relay write: all on
    EXPECT_EQ(rig.link.written.last(), QByteArray("RFFFF\r"));
    rig.link.deliver();
    rig.tick(); // input read
    rig.link.deliver();
    EXPECT_EQ(rig.core.poll().PortOut(), 0xFFEF);
    rig.tick();
    EXPECT_EQ(rig.link.written.last(), QByteArray("RFFEF\r"));
}

TEST_F(RulesInController, NothingIsEvaluatedWhileTheSwitchIsOff)
{
    rig.core.rules().setRulesList({u"1L=01H"_s});
    rig.activateAndCycle(2);
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
}

TEST_F(RulesInController, NothingIsEvaluatedWhileTheSystemIsIdle)
{
    rig.core.rules().setRulesList({u"1L=01H"_s});
    rig.core.InputRulesSBClick();
    rig.link.autoReply = true;
    for (int i = 0; i < 4; ++i) {
        rig.tick();
        rig.link.deliver();
    }
    EXPECT_EQ(rig.core.poll().PortOut(), 0);
    EXPECT_TRUE(rig.link.written.isEmpty());
}

TEST_F(RulesInController, TheSwitchTurnsTheFunctionOnAndOff)
{
    rig.core.rules().setRulesList({u"1H=01H"_s});
    rig.core.InputRulesSBClick();
    EXPECT_TRUE(rig.core.rules().RulesOn());
    EXPECT_TRUE(rig.view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(rig.view.status[1], u"Input rules ON"_s);

    rig.core.InputRulesSBClick();
    EXPECT_FALSE(rig.core.rules().RulesOn());
    EXPECT_FALSE(rig.view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(rig.view.status[1], u"Input rules OFF"_s);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(RulesInController, TheSwitchRefusesAnEmptyList)
{
    rig.core.InputRulesSBClick();
    EXPECT_FALSE(rig.core.rules().RulesOn());
    EXPECT_FALSE(rig.view.lamp(View::Lamp::InputRules));
    EXPECT_EQ(rig.view.status[1], u"Ready"_s);
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, u"Information"_s);
    EXPECT_EQ(rig.view.boxes.at(0).text, u"Rules list empty"_s);
}

TEST_F(RulesInController, TheSwitchWorksWhileTheSystemIsActive)
{
    rig.core.rules().setRulesList({u"1H=01H"_s});
    rig.activateAndCycle(1);
    rig.core.InputRulesSBClick();
    cycleWithInputs("01");
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0001);
    rig.core.InputRulesSBClick();
    cycleWithInputs("00");
    EXPECT_EQ(rig.core.poll().PortOut(), 0x0001);
}

} // namespace

// Two controllers in one process, each on a board of its own: neither sees
// the other's relays, inputs, timers, rules or log.
#include "logger/logcapture.h"
#include "logger/logtestrig.h"
#include "timers/timertest.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Relay 7 follows input 2; relay 8 goes on while input 2 is low.
const QStringList kRulesA{u"2H=07H"_s, u"2L=08H"_s};
// Relay 1 follows input 6.
const QStringList kRulesB{u"6H=01H"_s};

} // namespace

TEST(TwoControllers, RunSideBySideWithoutSeeingEachOther)
{
    LogRig a;
    LogRig b;
    // A: timers and rules; its timer record switches relay 5 on at 12:00:10.
    a.core.timers().setTimerList(
        dateRecord("05", ::at(2014, 7, 3, 12, 0, 10), ::at(2014, 7, 3, 13, 0)));
    a.core.TimerSBClick();
    a.core.rules().setRulesList(kRulesA);
    a.core.InputRulesSBClick();
    // B: other rules, no timers, and a log run of every input read.
    b.core.rules().setRulesList(kRulesB);
    b.core.InputRulesSBClick();
    ASSERT_EQ(b.confirmSchedule(b.at(11, 0, 0), b.at(13, 0, 0), u"0.2"_s), QString());

    a.link.inputDigits = "02"; // input 2 high
    b.link.inputDigits = "40"; // input 6 high
    a.activate();
    b.activate();
    b.core.InputNowSBClick();
    ASSERT_TRUE(b.core.logger().LogNow());

    // 300 poll cycles, one controller's tick after the other's, a minute
    // of clock time each.
    for (int i = 0; i < 300; ++i) {
        a.timedCycles(1);
        b.timedCycles(1);
    }

    EXPECT_TRUE(a.view.boxes.isEmpty());
    EXPECT_TRUE(b.view.boxes.isEmpty());
    EXPECT_EQ(a.core.poll().PortIn(), 0x02);
    EXPECT_EQ(b.core.poll().PortIn(), 0x20);
    EXPECT_EQ(a.core.poll().PortOut(), 0x0050); // relays 5 and 7
    EXPECT_EQ(b.core.poll().PortOut(), 0x0001); // relay 1
    EXPECT_EQ(a.link.written.last(), QByteArray("R0050\r"));
    EXPECT_EQ(b.link.written.last(), QByteArray("R0001\r"));
    EXPECT_TRUE(a.link.written.contains(QByteArray("R0050\r")));
    EXPECT_FALSE(a.link.written.contains(QByteArray("R0001\r")));
    EXPECT_FALSE(b.link.written.contains(QByteArray("R0050\r")));
    EXPECT_EQ(a.view.relayWord, 0x0050);
    EXPECT_EQ(b.view.relayWord, 0x0001);
    EXPECT_EQ(a.view.inputWord, 0x02);
    EXPECT_EQ(b.view.inputWord, 0x20);

    EXPECT_TRUE(a.core.timers().TimersOn());
    EXPECT_FALSE(b.core.timers().TimersOn());
    EXPECT_TRUE(b.core.timers().ActiveTimerList().isEmpty());
    EXPECT_EQ(a.core.rules().RulesList(), kRulesA);
    EXPECT_EQ(b.core.rules().RulesList(), kRulesB);

    EXPECT_FALSE(a.core.logger().LogNow());
    EXPECT_TRUE(a.core.logger().LogList().isEmpty());
    EXPECT_EQ(a.view.countLabel, QString());
    // The header and one line per input read, each with B's words only.
    ASSERT_EQ(b.core.logger().LogList().size(), 7 + 300);
    EXPECT_TRUE(b.core.logger().LogList().last().endsWith(DecToBinary(0x20, 6) + QString(4, u' ') +
                                                          DecToBinary(0x0001, 16)))
        << b.core.logger().LogList().last().toStdString();
}

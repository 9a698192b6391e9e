// SPDX-License-Identifier: GPL-3.0-or-later
// Two controllers in one process, each on a board of its own: neither sees
// the other's relays, inputs, timers, rules or log.
#include "common/textlines.h"
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

// Each controller formats with the regional formats it was given, while the
// other runs with different ones.
TEST(TwoControllers, FormatWithTheirOwnRegionalFormatsAtTheSameTime)
{
    LogRig a; // the fixed formats
    LogRig b;
    b.regional = {u"yyyy-MM-dd"_s, u"HH.mm.ss"_s, u','};
    // Each frequency field takes its own separator only.
    EXPECT_TRUE(a.core.loggerForm().FrequencyEditKeyPress(u'.'));
    EXPECT_FALSE(a.core.loggerForm().FrequencyEditKeyPress(u','));
    EXPECT_TRUE(b.core.loggerForm().FrequencyEditKeyPress(u','));
    EXPECT_FALSE(b.core.loggerForm().FrequencyEditKeyPress(u'.'));
    ASSERT_EQ(a.confirmSchedule(a.at(11, 0, 0), a.at(13, 0, 0), u"0.2"_s), QString());
    ASSERT_EQ(b.confirmSchedule(b.at(11, 0, 0), b.at(13, 0, 0), u"0,2"_s), QString());
    // The same toggling timer record in both: 2 s ON, 1 s OFF.
    for (LogRig* rig : {&a, &b}) {
        rig->core.timers().setTimerList(dateRecord(u"03"_s, ::at(2014, 7, 3, 12, 0),
                                                   ::at(2014, 7, 3, 13, 0), u"0000000"_s, u"2"_s,
                                                   u"1"_s));
        rig->core.TimerSBClick();
    }

    a.activate();
    b.activate();
    a.core.InputNowSBClick();
    b.core.InputNowSBClick();
    for (int i = 0; i < 6; ++i) {
        a.timedCycles(1);
        b.timedCycles(1);
    }

    const QStringList& logA = a.core.logger().LogList();
    const QStringList& logB = b.core.logger().LogList();
    ASSERT_EQ(logA.size(), 7 + 6);
    ASSERT_EQ(logB.size(), 7 + 6);
    EXPECT_EQ(logA.at(1), u"Log Start Time:  03/07/2014 12:00:00"_s);
    EXPECT_EQ(logB.at(1), u"Log Start Time:  2014-07-03 12.00.00"_s);
    EXPECT_EQ(logA.at(2), u"Frequency = 0.2"_s);
    EXPECT_EQ(logB.at(2), u"Frequency = 0,2"_s);
    const QString gap(4, u' ');
    // No input high, relay 3 on through its timer.
    const QString words = gap + DecToBinary(0, 6) + gap + DecToBinary(0x0004, 16);
    EXPECT_EQ(logA.last(), u"       5    12:00:01"_s + words);
    EXPECT_EQ(logB.last(), u"       5    12.00.01"_s + words);
    // The status bar's clock, and the toggle count the timer pass writes.
    EXPECT_EQ(a.view.status.at(2), u"12:00:01"_s);
    EXPECT_EQ(b.view.status.at(2), u"12.00.01"_s);
    EXPECT_EQ(a.core.timers().ActiveTimerList().at(8), u"0.8"_s);
    EXPECT_EQ(b.core.timers().ActiveTimerList().at(8), u"0,8"_s);

    // The project files: the schedule in each one's separator, the timer
    // record as it was given.
    const QString fileA = a.lastRunFolder.filePath(u"a.iom"_s);
    const QString fileB = b.lastRunFolder.filePath(u"b.iom"_s);
    a.view.files.push_back(fileA);
    b.view.files.push_back(fileB);
    a.core.Save1Click();
    b.core.Save1Click();
    const QStringList timer = a.core.timers().TimerList();
    EXPECT_EQ(ReadTextLines(fileA),
              QStringList({u"41823.4583333333"_s, u"41823.5416666667"_s, u"0.2"_s, u"[t]"_s}) +
                  timer + QStringList{u"[r]"_s});
    EXPECT_EQ(ReadTextLines(fileB),
              QStringList({u"41823,4583333333"_s, u"41823,5416666667"_s, u"0,2"_s, u"[t]"_s}) +
                  timer + QStringList{u"[r]"_s});

    // The finish line of each run.
    a.deactivate();
    b.deactivate();
    EXPECT_EQ(logA.last(), u"Log Finish Time:  03/07/2014 13:00:00"_s);
    EXPECT_EQ(logB.last(), u"Log Finish Time:  2014-07-03 13.00.00"_s);
}

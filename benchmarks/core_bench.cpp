// SPDX-License-Identifier: GPL-3.0-or-later
// The per-tick work of the logic, timed with Google Benchmark: one pass of
// the timer engine over 10, 1 000 and 10 000 records, the rules evaluation
// of a full rules list (10 lines), and a whole poll cycle through the
// controller (tick, echo, tick, input reply with rules and logging).
#include "common/regional.h"
#include "controller/relay.h"
#include "rules/rules.h"
#include "support/fakelink.h"
#include "support/fakeview.h"
#include "support/manualclock.h"
#include "timers/timerpass.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr double kTickDays = 0.2 / 86400.0;
// Thursday 3 July 2014, 12:00.
constexpr double kNoon = 41823.5;

// A list of records of every kind: date windows that open and close, daily
// windows on chosen weekdays, toggling at different rates.
QStringList timerRecords(int count)
{
    QStringList lines;
    for (int k = 0; k < count; ++k) {
        const QString relay = QStringLiteral("%1").arg(k % 16 + 1, 2, 10, QLatin1Char('0'));
        switch (k % 4) {
        case 0: // a date window around now
            lines << relay << QStringLiteral("41823.4999") << QStringLiteral("41823.75")
                  << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("0000000");
            break;
        case 1: // daily, weekdays, toggling
            lines << relay << QStringLiteral("37257.25") << QStringLiteral("37257.75")
                  << QStringLiteral("1.2") << QStringLiteral("0.4") << QStringLiteral("0111110");
            break;
        case 2: // a date window in the past
            lines << relay << QStringLiteral("41000.25") << QStringLiteral("41000.5")
                  << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("0000000");
            break;
        default: // daily, every day, fast toggling
            lines << relay << QStringLiteral("37257") << QStringLiteral("37257.9999884259")
                  << QStringLiteral("0.2") << QStringLiteral("0.2") << QStringLiteral("1111111");
            break;
        }
        lines << QStringLiteral("0") << QStringLiteral("0") << lines.at(lines.size() - 3);
    }
    return lines;
}

void TimerPass(benchmark::State& state)
{
    QStringList records = timerRecords(static_cast<int>(state.range(0)));
    int portOut = 0;
    double T = kNoon;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExecuteTimerPass(records, portOut, T, u'.'));
        T += kTickDays;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(TimerPass)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

const QStringList kTenRules{
    QStringLiteral("1H=01H"),           QStringLiteral("1L=01L"),
    QStringLiteral("2Hand3H=02H03L"),   QStringLiteral("2Lor3L=02L03H"),
    QStringLiteral("4Hor5Hor6H=04H"),   QStringLiteral("4Land5Land6L=04L"),
    QStringLiteral("1Hand2Hand3H=05H"), QStringLiteral("1Lor2L=05L06H07H"),
    QStringLiteral("6H=16H15L14H"),     QStringLiteral("6L=16L15H14L"),
};

void RulesEvaluation(benchmark::State& state)
{
    int portIn = 0;
    int portOut = 0;
    for (auto _ : state) {
        portOut = rules::ModifyOutputFromRules(kTenRules, portIn, portOut);
        benchmark::DoNotOptimize(portOut);
        portIn = (portIn + 1) & 0x3F;
    }
}
BENCHMARK(RulesEvaluation)->Unit(benchmark::kMicrosecond);

// Two ticks and both replies through the controller, with ten rules, the
// timers (100 records) and a logging run writing a line every cycle.
void PollCycle(benchmark::State& state)
{
    FakeView view;
    FakeLink link;
    ManualClock clock(QDateTime(QDate(2014, 7, 3), QTime(12, 0)));
    const Regional regional = Regional::fixed();
    Controller core(view, link, clock, regional);
    core.FirstTick = false;
    core.timers().setTimerList(timerRecords(100));
    core.rules().setRulesList(kTenRules);
    // The log's safety copy goes to a folder of the run's own.
    const QTemporaryDir stateFolder;
    core.logRecovery().setFolder(stateFolder.path());
    // A line every input read.
    view.onLoggerWindow = [&core] {
        core.loggerForm().LoggerFrequency = 0.2;
        return true;
    };
    core.LogEditButtClick();
    core.ActiveButtClick();
    core.TimerSBClick();
    core.InputRulesSBClick();
    core.loggerForm().LogDataValid = true;
    core.InputNowSBClick();
    link.autoReply = true;
    int inputs = 0;
    for (auto _ : state) {
        core.Timer1Timer();
        link.deliver();
        core.Timer1Timer();
        link.inputDigits = QByteArray::number(inputs >> 3 & 7) + QByteArray::number(inputs & 7);
        link.deliver();
        clock.advanceMs(200);
        inputs = (inputs + 1) & 0x3F;
        if (core.logger().LogList().size() > 100000)
            core.logger().setLogList({});
        link.written.clear();
    }
    if (!core.poll().SystemActive() || !view.boxes.isEmpty())
        state.SkipWithError("the poll cycle stopped");
}
BENCHMARK(PollCycle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

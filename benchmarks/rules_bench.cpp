// SPDX-License-Identifier: GPL-3.0-or-later
// How long the rules take: the evaluation runs after every input read on the
// user-interface thread (at most 10 lines every 0.2 s), the check whenever an
// editor closes or a project loads. Prints figures; judges nothing.
#include "rules/rules.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

// Ten lines of the longest kind: six terms and all sixteen relays each.
QStringList worstCaseRules()
{
    QString outputs;
    for (int relay = 1; relay <= 16; ++relay) {
        outputs += QStringLiteral("%1").arg(relay, 2, 10, QLatin1Char('0'));
        outputs += relay % 2 ? u'H' : u'L';
    }
    QStringList lines;
    for (int i = 0; i < rules::kMaxRuleLines; ++i)
        lines.append(QStringLiteral("1Hand2Lor3Hand4Lor5Hand6L=") + outputs);
    return lines;
}

template <typename Work> double nanosecondsPerRun(int runs, Work&& work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work(i);
    return static_cast<double>(timer.nsecsElapsed()) / runs;
}

} // namespace

int main()
{
    const QStringList lines = worstCaseRules();
    constexpr int kRuns = 200000;

    int portOut = 0;
    const double evaluation = nanosecondsPerRun(
        kRuns, [&](int i) { portOut = rules::ModifyOutputFromRules(lines, i & 0x3F, portOut); });
    bool valid = true;
    const double check = nanosecondsPerRun(kRuns / 10, [&](int) {
        QStringList memo = lines;
        QString error;
        int pos = 0;
        valid = rules::CheckRules(memo, error, pos) && valid;
    });

    std::printf("evaluation of 10 worst-case lines: %.0f ns (budget: one every 200 ms)\n",
                evaluation);
    std::printf("check of the same 10 lines:        %.0f ns%s\n", check,
                valid ? "" : " (the lines did not pass!)");
    std::printf("last relay word: %04X\n", static_cast<unsigned>(portOut));
    return valid ? 0 : 1;
}

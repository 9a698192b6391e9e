// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: loading a project file. The input is the file's bytes. A file
// that is not a project loads as an empty one; a project's logger schedule
// must pass the logger check or be cleared with its error box; its rules must
// pass the rules check or be dropped with theirs. Then the loaded project
// runs: the timers and the rules switched on for some poll cycles across a
// day boundary. Timer lines the loader copied unchecked may make the engine
// report corrupt data ("Fatal error in time data." and idle), never crash
// or escape as a failure.
#include "common/regional.h"
#include "controller/relay.h"
#include "fuzzinput.h"
#include "support/fakelink.h"
#include "support/fakeview.h"
#include "support/manualclock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

const QString kLogError = QStringLiteral("Found errors in Log Time data");
const QString kRulesError =
    QStringLiteral("Errors found in the loaded rules. The rules are not used.\r\r");
const QString kFatalTime = QStringLiteral("Fatal error in time data.");

const QString& projectPath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("fuzz.iom"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        QFile file(projectPath());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size));
    }

    FakeView view;
    FakeLink link;
    // Late on a Sunday, so the cycles below cross into Monday.
    ManualClock clock(QDateTime(QDate(2014, 7, 6), QTime(23, 59, 58)));
    const Regional regional = Regional::fixed();
    Controller core(view, link, clock, regional);
    core.FirstTick = false;
    core.run([&core] { core.OpenTheProjectFile(projectPath()); });

    for (const FakeView::Box& box : view.boxes) {
        FUZZ_CHECK(box.kind == QStringLiteral("Error"));
        FUZZ_CHECK(box.text == kLogError || box.text.startsWith(kRulesError));
    }
    FUZZ_CHECK(core.project().ChangeCount() == 0);
    // The rules that stay loaded are the checked ones.
    if (!core.rules().RulesList().isEmpty()) {
        RulesForm again;
        again.RulesMemo = core.rules().RulesList();
        FUZZ_CHECK(again.CheckRules());
        FUZZ_CHECK(again.RulesMemo == core.rules().RulesList());
    }
    // The schedule that stays loaded passes the logger's check.
    if (core.logger().LogOnTime() != 0 || core.logger().LogOffTime() != 0 ||
        core.logger().LogFrequency() != 0) {
        LoggerForm form(regional);
        form.LoggerOnTime = core.logger().LogOnTime();
        form.LoggerOffTime = core.logger().LogOffTime();
        form.LoggerFrequency = core.logger().LogFrequency();
        form.SetLoggerEdits();
        FUZZ_CHECK(form.CheckTheLogData().isEmpty());
    }

    // Run what was loaded.
    view.boxes.clear();
    link.autoReply = true;
    link.inputDigits = "53";
    core.ActiveButtClick();
    if (!core.timers().TimerList().isEmpty())
        core.TimerSBClick();
    if (!core.rules().RulesList().isEmpty())
        core.InputRulesSBClick();
    for (int tick = 0; tick < 60 && core.poll().SystemActive(); ++tick) {
        core.run([&core] { core.Timer1Timer(); });
        link.deliver();
        clock.advanceMs(100);
        FUZZ_CHECK(core.poll().PortOut() >= 0 && core.poll().PortOut() <= 0xFFFF);
    }
    for (const FakeView::Box& box : view.boxes) {
        FUZZ_CHECK(box.kind == QStringLiteral("Error"));
        FUZZ_CHECK(box.text == kFatalTime);
        FUZZ_CHECK(!core.poll().SystemActive() &&
                   core.poll().CommState() == board::CommState::Idle);
    }
    // A healthy project keeps the cycle running on a healthy board.
    FUZZ_CHECK(!view.boxes.isEmpty() || core.poll().SystemActive());
    return 0;
}

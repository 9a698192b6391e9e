// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/projectfile.h"
#include "projectfixture.h"

namespace {

const QString kPlain = QStringLiteral("QMX V217 v140703");

using Save = ProjectTest;
using Load = ProjectTest;

TEST_F(Save, WritesTheGoldenFileAndTakesTheSavedName)
{
    fillTwoTimers(rig.core);
    rig.core.project().setChangeCount(3);
    const QString target = file(QStringLiteral("two timers.iom"));
    save(target);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(bytes(target), bytes(golden(QStringLiteral("twotimers.iom"))));
    EXPECT_EQ(rig.view.fileDialogs, QList{View::FileDialog::SaveProject});
    EXPECT_EQ(rig.core.project().ProjectFileName(), target);
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703<two timers.iom>"));
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
}

TEST_F(Save, AnEmptyProjectIsFiveLines)
{
    rig.startUp();
    const QString target = file(QStringLiteral("empty.iom"));
    save(target);
    EXPECT_EQ(bytes(target), bytes(golden(QStringLiteral("empty.iom"))));
}

TEST_F(Save, WritesTheEditedRecordsNotTheRunningCopy)
{
    fillTwoTimers(rig.core);
    // A running copy whose record 1 is running, beside the edited records.
    const QStringList edited = rig.core.timers().TimerList();
    QStringList running = edited;
    running[6] = QStringLiteral("1");
    rig.core.timers().setTimerList(running);
    rig.core.timers().startRun();
    rig.core.timers().setTimerList(edited);
    rig.core.poll().activate();
    const QString target = file(QStringLiteral("active.iom"));
    save(target);
    EXPECT_EQ(bytes(target), bytes(golden(QStringLiteral("twotimers.iom"))));
}

TEST_F(Save, ACancelledDialogChangesNothing)
{
    fillTwoTimers(rig.core);
    rig.core.project().setChangeCount(2);
    rig.view.caption = kPlain;
    run([this] { rig.core.Save1Click(); });
    EXPECT_EQ(rig.core.project().ChangeCount(), 2);
    EXPECT_EQ(rig.view.caption, kPlain);
    EXPECT_TRUE(rig.core.project().ProjectFileName().isEmpty());
    EXPECT_TRUE(QDir(path(QStringLiteral("files"))).isEmpty());
}

TEST_F(Load, TheGoldenFileFillsEveryList)
{
    rig.core.project().setChangeCount(0);
    const QString source = golden(QStringLiteral("twotimers.iom"));
    load(source);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.view.fileDialogs, QList{View::FileDialog::OpenProject});
    EXPECT_EQ(rig.core.timers().TimerList(), twoTimerRecords());
    EXPECT_EQ(rig.core.rules().RulesList(), threeRules());
    // Fifteen significant digits: the value read back lies within 1e-10 days.
    EXPECT_NEAR(rig.core.logger().LogOnTime(), 41823.0 + 17.5 / 24.0, 1e-9);
    EXPECT_DOUBLE_EQ(rig.core.logger().LogOffTime(), 41823.75);
    EXPECT_DOUBLE_EQ(rig.core.logger().LogFrequency(), 1.5);
    EXPECT_EQ(rig.core.project().ProjectFileName(), source);
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703 <twotimers.iom>"));

    // The logger window shows the schedule and accepts it.
    const LoggerForm& logger = rig.core.loggerForm();
    EXPECT_EQ(logger.fields[LoggerForm::OnDay], QStringLiteral("03"));
    EXPECT_EQ(logger.fields[LoggerForm::OnHour], QStringLiteral("17"));
    EXPECT_EQ(logger.fields[LoggerForm::OffMinute], QStringLiteral("00"));
    EXPECT_EQ(logger.fields[LoggerForm::Frequency], QStringLiteral("1.5"));
    EXPECT_TRUE(logger.LogDataValid);
    EXPECT_FALSE(logger.LogDataChanged);
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 7);
    EXPECT_EQ(rig.core.rulesForm().RulesMemo, threeRules());
}

TEST_F(Load, SaveThenLoadKeepsEveryLine)
{
    for (const QString& name : {QStringLiteral("twotimers.iom"), QStringLiteral("empty.iom")}) {
        Rig first;
        useFolders(first);
        first.view.files.push_back(golden(name));
        first.core.run([&] { first.core.Load1Click(); });
        const QString copy = file(QStringLiteral("copy-") + name);
        first.view.files.push_back(copy);
        first.core.run([&] { first.core.Save1Click(); });
        EXPECT_EQ(first.view.caption, QStringLiteral("QMX V217 v140703<copy-") + name + ">");
        EXPECT_EQ(bytes(copy), bytes(golden(name))) << name.toStdString();

        Rig second;
        useFolders(second);
        second.core.OpenTheProjectFile(copy);
        EXPECT_EQ(second.core.timers().TimerList(), first.core.timers().TimerList());
        EXPECT_EQ(second.core.rules().RulesList(), first.core.rules().RulesList());
        EXPECT_EQ(second.core.logger().LogOnTime(), first.core.logger().LogOnTime());
        EXPECT_EQ(second.core.logger().LogOffTime(), first.core.logger().LogOffTime());
        EXPECT_EQ(second.core.logger().LogFrequency(), first.core.logger().LogFrequency());
        EXPECT_EQ(second.view.caption, QStringLiteral("QMX V217 v140703 <copy-") + name + ">");
        EXPECT_TRUE(second.view.boxes.isEmpty());
    }
}

TEST_F(Load, AnEmptyScheduleLoadsWithoutAMessage)
{
    load(golden(QStringLiteral("empty.iom")));
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_FALSE(rig.core.loggerForm().LogDataValid);
    for (const QString& field : rig.core.loggerForm().fields)
        EXPECT_TRUE(field.isEmpty());
    EXPECT_TRUE(rig.core.timers().TimerList().isEmpty());
    EXPECT_TRUE(rig.core.rules().RulesList().isEmpty());
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703 <empty.iom>"));
}

TEST_F(Load, AnyLineEndIsRead)
{
    const QByteArray crlf = bytes(golden(QStringLiteral("twotimers.iom")));
    for (const char* end : {"\n", "\r"}) {
        QByteArray other = crlf;
        other.replace("\r\n", end);
        const QString source = file(QStringLiteral("ends.iom"));
        writeBytes(source, other);
        Rig fresh;
        useFolders(fresh);
        fresh.core.OpenTheProjectFile(source);
        EXPECT_EQ(fresh.core.timers().TimerList(), twoTimerRecords());
        EXPECT_EQ(fresh.core.rules().RulesList(), threeRules());
        EXPECT_EQ(fresh.core.project().ProjectFileName(), source);
    }
}

// A fourth line that is not exactly "[t]" keeps only the three numbers.
TEST_F(Load, TheTimerSectionLineMustMatchExactly)
{
    for (const char* section : {"[T]", "[t] ", " [t]", "t", ""}) {
        QByteArray data = bytes(golden(QStringLiteral("twotimers.iom")));
        data.replace("\r\n[t]\r\n", QByteArray("\r\n") + section + "\r\n");
        const QString source = file(QStringLiteral("section.iom"));
        writeBytes(source, data);

        Rig fresh;
        useFolders(fresh);
        fresh.core.project().setProjectFileName(QStringLiteral("/old/project.iom"));
        fresh.core.OpenTheProjectFile(source);
        EXPECT_TRUE(fresh.core.timers().TimerList().isEmpty()) << section;
        EXPECT_TRUE(fresh.core.rules().RulesList().isEmpty()) << section;
        EXPECT_TRUE(fresh.core.project().ProjectFileName().isEmpty()) << section;
        EXPECT_EQ(fresh.view.caption, kPlain) << section;
        EXPECT_DOUBLE_EQ(fresh.core.logger().LogFrequency(), 1.5) << section;
        EXPECT_DOUBLE_EQ(fresh.core.logger().LogOffTime(), 41823.75) << section;
        EXPECT_TRUE(fresh.view.boxes.isEmpty()) << section;

        // The last-run file then names no project.
        bool canClose = false;
        fresh.core.FormCloseQuery(canClose);
        EXPECT_EQ(ReadTextLines(programLastRun()), (QStringList{"*", "*"})) << section;
    }
}

TEST_F(Load, WithoutARulesLineEverythingIsTimerLines)
{
    QByteArray data = bytes(golden(QStringLiteral("twotimers.iom")));
    data.replace("[r]\r\n", "");
    const QString source = file(QStringLiteral("norules.iom"));
    writeBytes(source, data);
    rig.core.OpenTheProjectFile(source);
    EXPECT_EQ(rig.core.timers().TimerList(), twoTimerRecords() + threeRules());
    EXPECT_TRUE(rig.core.rules().RulesList().isEmpty());
    EXPECT_EQ(rig.core.project().ProjectFileName(), source);
}

TEST_F(Load, AScheduleThatFailsItsCheckIsDroppedAlone)
{
    // ON 1 January 2001 08:00:00: the year is outside 2002 to 2100.
    QByteArray data = bytes(golden(QStringLiteral("twotimers.iom")));
    data.replace("41823.7291666667\r\n41823.75\r\n1.5", "36892.3333333333\r\n41823.75\r\n1.5");
    const QString source = file(QStringLiteral("year2001.iom"));
    writeBytes(source, data);
    rig.core.OpenTheProjectFile(source);

    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes[0].kind, QStringLiteral("Error"));
    EXPECT_EQ(rig.view.boxes[0].text, QStringLiteral("Found errors in Log Time data"));
    EXPECT_EQ(rig.core.logger().LogOnTime(), 0);
    EXPECT_EQ(rig.core.logger().LogOffTime(), 0);
    EXPECT_EQ(rig.core.logger().LogFrequency(), 0);
    const LoggerForm& logger = rig.core.loggerForm();
    EXPECT_EQ(logger.LoggerOnTime, 0);
    EXPECT_EQ(logger.LoggerOffTime, 0);
    EXPECT_EQ(logger.LoggerFrequency, 0);
    EXPECT_FALSE(logger.LogDataValid);
    EXPECT_FALSE(logger.LogDataChanged);
    for (const QString& field : logger.fields)
        EXPECT_TRUE(field.isEmpty());
    // The period keeps what the loaded frequency gave.
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 7);

    EXPECT_EQ(rig.core.timers().TimerList(), twoTimerRecords());
    EXPECT_EQ(rig.core.rules().RulesList(), threeRules());
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703 <year2001.iom>"));
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
}

TEST_F(Load, FaultyRulesAreDroppedWithTheirOwnBox)
{
    QByteArray data = bytes(golden(QStringLiteral("twotimers.iom")));
    data.replace("1Hor2H=01H", "1Hxor2H=01H");
    const QString source = file(QStringLiteral("badrules.iom"));
    writeBytes(source, data);
    rig.core.OpenTheProjectFile(source);

    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes[0].kind, QStringLiteral("Error"));
    EXPECT_TRUE(rig.view.boxes[0].text.startsWith(
        QStringLiteral("Errors found in the loaded rules. The rules are not used.\r\r")));
    EXPECT_FALSE(rig.core.rulesForm().RulesError.isEmpty());
    EXPECT_TRUE(rig.view.boxes[0].text.endsWith(rig.core.rulesForm().RulesError));
    EXPECT_TRUE(rig.core.rules().RulesList().isEmpty());
    EXPECT_EQ(rig.core.timers().TimerList(), twoTimerRecords());
    EXPECT_TRUE(rig.core.loggerForm().LogDataValid);
    EXPECT_EQ(rig.core.project().ProjectFileName(), source);
}

TEST_F(Load, BlankRuleLinesAreNotKeptAsRules)
{
    QByteArray data = bytes(golden(QStringLiteral("twotimers.iom")));
    data += "\r\n   \r\n";
    const QString source = file(QStringLiteral("blank.iom"));
    writeBytes(source, data);
    rig.core.OpenTheProjectFile(source);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.core.rules().RulesList(), threeRules());
}

TEST_F(Load, SixRulesAfterFiveAreCheckedOnTheirOwn)
{
    const QStringList five{"1H=01H", "2H=02H", "3H=03H", "4H=04H", "5H=05H"};
    const QStringList six = five + QStringList{"6L=16H10L"};
    for (const auto& [name, rules] :
         {std::pair{QStringLiteral("five.iom"), five}, std::pair{QStringLiteral("six.iom"), six}}) {
        WriteTextLines(file(name), QStringList{"0", "0", "0", "[t]", "[r]"} + rules);
        rig.core.OpenTheProjectFile(file(name));
        EXPECT_EQ(rig.core.rules().RulesList(), rules);
    }
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

// Anything that is not a project empties the project, without a message.
TEST_F(Load, UnreadableFilesLoadAnEmptyProject)
{
    writeBytes(file(QStringLiteral("short.iom")), "0\r\n0\r\n");
    writeBytes(file(QStringLiteral("word.iom")), "soon\r\n0\r\n0\r\n[t]\r\n[r]\r\n");
    writeBytes(file(QStringLiteral("third.iom")), "0\r\n0\r\n1.5x\r\n[t]\r\n[r]\r\n");
    for (const QString& source :
         {file(QStringLiteral("missing.iom")), file(QStringLiteral("short.iom")),
          file(QStringLiteral("word.iom")), file(QStringLiteral("third.iom")), QStringLiteral("*"),
          path(QStringLiteral("files"))}) {
        Rig fresh;
        useFolders(fresh);
        fillTwoTimers(fresh.core);
        fresh.core.timers().startRun();
        fresh.core.project().setProjectFileName(QStringLiteral("/old/project.iom"));
        fresh.core.project().setChangeCount(0);
        fresh.core.logger().setLogList({QStringLiteral("kept")});
        fresh.view.files.push_back(source);
        fresh.core.run([&] { fresh.core.Load1Click(); });
        EXPECT_TRUE(fresh.view.boxes.isEmpty()) << source.toStdString();
        EXPECT_TRUE(fresh.core.timers().TimerList().isEmpty());
        EXPECT_TRUE(fresh.core.timers().ActiveTimerList().isEmpty());
        EXPECT_TRUE(fresh.core.rules().RulesList().isEmpty());
        EXPECT_EQ(fresh.core.logger().LogOnTime(), 0);
        EXPECT_EQ(fresh.core.logger().LogOffTime(), 0);
        EXPECT_EQ(fresh.core.logger().LogFrequency(), 0);
        EXPECT_TRUE(fresh.core.project().ProjectFileName().isEmpty());
        EXPECT_EQ(fresh.view.caption, kPlain);
        EXPECT_EQ(fresh.core.logger().LogList(), QStringList{QStringLiteral("kept")});
        EXPECT_FALSE(fresh.core.loggerForm().LogDataValid);
    }
}

TEST_F(Load, ACommaSavedProjectLoadsUnderTheCLocale)
{
    rig.regional.decimalPoint = QLatin1Char(',');
    fillTwoTimers(rig.core);
    const QString target = file(QStringLiteral("comma.iom"));
    save(target);
    EXPECT_TRUE(bytes(target).startsWith("41823,7291666667\r\n41823,75\r\n1,5\r\n[t]\r\n"));

    Rig other;
    useFolders(other);
    other.core.OpenTheProjectFile(target);
    EXPECT_TRUE(other.view.boxes.isEmpty());
    EXPECT_NEAR(other.core.logger().LogOnTime(), 41823.0 + 17.5 / 24.0, 1e-9);
    EXPECT_DOUBLE_EQ(other.core.logger().LogFrequency(), 1.5);
    EXPECT_TRUE(other.core.loggerForm().LogDataValid);
    EXPECT_EQ(other.core.timers().TimerList(), twoTimerRecords());
}

TEST_F(Load, LoadingWhileActiveStopsTheRunningRecords)
{
    fillTwoTimers(rig.core);
    rig.core.ActiveButtClick();
    ASSERT_EQ(rig.core.timers().ActiveTimerList().size(), 18);
    rig.core.OpenTheProjectFile(golden(QStringLiteral("empty.iom")));
    EXPECT_TRUE(rig.core.timers().ActiveTimerList().isEmpty());
    EXPECT_TRUE(rig.core.poll().SystemActive());
}

// The question before loading over changed parameters, for each answer.
TEST_F(Load, TheChangeQuestion)
{
    struct Row
    {
        View::Answer answer;
        QString saveTo; // empty: the save dialog is cancelled
        QList<View::FileDialog> dialogs;
        bool loaded;
    };
    const QString saved = file(QStringLiteral("before.iom"));
    const QList<Row> rows{
        {View::Answer::Cancel, {}, {}, false},
        {View::Answer::No, {}, {View::FileDialog::OpenProject}, true},
        {View::Answer::Yes,
         saved,
         {View::FileDialog::SaveProject, View::FileDialog::OpenProject},
         true},
        {View::Answer::Yes,
         {},
         {View::FileDialog::SaveProject, View::FileDialog::OpenProject},
         true},
    };
    for (const Row& row : rows) {
        QFile::remove(saved);
        Rig fresh;
        useFolders(fresh);
        fillTwoTimers(fresh.core);
        fresh.core.project().setChangeCount(1);
        fresh.view.answers.push_back(row.answer);
        if (row.answer == View::Answer::Yes)
            fresh.view.files.push_back(row.saveTo);
        fresh.view.files.push_back(golden(QStringLiteral("empty.iom")));
        fresh.core.run([&] { fresh.core.Load1Click(); });

        EXPECT_EQ(fresh.view.boxTexts(),
                  QStringList{QStringLiteral("Time/Rule parameters have changed.\r\rSave?")});
        EXPECT_EQ(fresh.view.lastButtons, View::Buttons::YesNoCancel);
        EXPECT_EQ(fresh.view.fileDialogs, row.dialogs);
        EXPECT_EQ(fresh.core.timers().TimerList().isEmpty(), row.loaded);
        EXPECT_EQ(fresh.core.project().ChangeCount(), row.loaded ? 0 : 1);
        if (!row.saveTo.isEmpty()) {
            EXPECT_EQ(bytes(saved), bytes(golden(QStringLiteral("twotimers.iom"))));
        }
    }
}

// The changes stay in memory, and on screen, when they could not be saved.
TEST_F(Load, AFailedSaveStopsTheLoad)
{
    writeBytes(file(QStringLiteral("plain")), "not a folder");
    const QString impossible = file(QStringLiteral("plain/before.iom"));
    fillTwoTimers(rig.core);
    rig.core.project().setChangeCount(1);
    rig.view.answers.push_back(View::Answer::Yes);
    rig.view.files = {impossible, golden(QStringLiteral("empty.iom"))};
    run([this] { rig.core.Load1Click(); });
    EXPECT_EQ(rig.view.boxTexts(),
              (QStringList{QStringLiteral("Time/Rule parameters have changed.\r\rSave?"),
                           QStringLiteral("Cannot create file ") + impossible + "."}));
    EXPECT_EQ(rig.view.fileDialogs, QList{View::FileDialog::SaveProject});
    EXPECT_EQ(rig.core.timers().TimerList(), twoTimerRecords());
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
}

TEST_F(Load, NoQuestionWithoutChangesAndACancelledDialogKeepsTheProject)
{
    fillTwoTimers(rig.core);
    run([this] { rig.core.Load1Click(); });
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.view.fileDialogs, QList{View::FileDialog::OpenProject});
    EXPECT_EQ(rig.core.timers().TimerList(), twoTimerRecords());
}

// A log line every 5 input reads for a frequency of 1.0, whether the
// schedule came from the logger window or from a project file.
TEST_F(Load, FrequencyOneLogsEveryFiveReads)
{
    const auto run10Reads = [](Rig& r) {
        r.core.ActiveButtClick();
        r.core.InputNowSBClick();
        EXPECT_TRUE(r.core.logger().LogNow());
        r.cycle(10);
        return r.core.logger().LogCount();
    };

    WriteTextLines(file(QStringLiteral("one.iom")), {"41823.5", "41823.75", "1", "[t]", "[r]"});
    Rig loaded;
    useFolders(loaded);
    loaded.startUp();
    loaded.core.OpenTheProjectFile(file(QStringLiteral("one.iom")));
    EXPECT_EQ(loaded.core.logger().LogPeriodTicks(), 5);
    EXPECT_EQ(run10Reads(loaded), 2);

    Rig edited;
    useFolders(edited);
    edited.startUp();
    edited.view.onLoggerWindow = [&edited] {
        LoggerForm& form = edited.core.loggerForm();
        form.fields = {"03", "07",   "2014", "12", "00", "00", "03",
                       "07", "2014", "18",   "00", "00", "1.0"};
        return form.CheckTheLogData().isEmpty();
    };
    edited.core.LogEditButtClick();
    EXPECT_EQ(edited.core.logger().LogPeriodTicks(), 5);
    EXPECT_EQ(run10Reads(edited), 2);
}

// The example project of the package: a pump on relay 1 for 5 minutes every
// 2 hours, lights on relay 2 from 07:00 to 19:00 on weekdays, an alarm on
// relay 3 toggling 1 s on, 1 s off from 18:55 to 18:56 on weekdays.
TEST_F(Load, TheShippedExampleLoadsAsTheProgramWouldSaveIt)
{
    const QString example = QStringLiteral(V217_EXAMPLE_PROJECT);
    load(example);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703 <example.iom>"));
    const QStringList& timers = rig.core.timers().TimerList();
    ASSERT_EQ(timers.size(), 14 * 9);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(timers.at(9 * k), QStringLiteral("01"));
        EXPECT_EQ(timers.at(9 * k + 5), QStringLiteral("1111111"));
    }
    EXPECT_EQ(timers.mid(9 * 12, 6),
              (QStringList{"02", "46391.2916666667", "46391.7916666667", "0", "0", "0111110"}));
    EXPECT_EQ(timers.mid(9 * 13, 6),
              (QStringList{"03", "46391.7881944444", "46391.7888888889", "1", "1", "0111110"}));
    EXPECT_TRUE(rig.core.rules().RulesList().isEmpty());
    EXPECT_FALSE(rig.core.loggerForm().LogDataValid);

    // Saved again it is the same file, byte for byte.
    const QString copy = file(QStringLiteral("example.iom"));
    save(copy);
    EXPECT_EQ(bytes(copy), bytes(example));
}

TEST(ProjectLines, ParseSplitsAtTheFirstRulesLine)
{
    const auto parsed = ParseProjectLines({"1", "2", "3", "[t]", "a", "[r]", "b", "[r]", "c"});
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->HasSections);
    EXPECT_EQ(parsed->TimerList, QStringList{"a"});
    EXPECT_EQ(parsed->RulesList, (QStringList{"b", "[r]", "c"}));
    EXPECT_FALSE(ParseProjectLines({"1", "2", "3"}));
    EXPECT_FALSE(ParseProjectLines({"1", "", "3", "[t]"}));
}

TEST(ProjectLines, TheLayoutFindsTheSectionsWhereLoadAndServiceLookForThem)
{
    const auto at = [](const QStringList& lines) {
        const std::optional<ProjectLayout> layout = FindProjectLayout(lines);
        return layout ? QStringLiteral("timers %1-%2, rules from %3%4")
                            .arg(ProjectLayout::kFirstTimerLine)
                            .arg(layout->timerEnd)
                            .arg(layout->firstRuleLine)
                            .arg(layout->hasRulesSection ? QString() : QStringLiteral(" (no [r])"))
                      : QStringLiteral("none");
    };
    // The numbers are not the layout's business: the load and the check
    // each read and word them.
    EXPECT_EQ(at({"x", "y", "z", "[t]"}), QStringLiteral("timers 4-4, rules from 4 (no [r])"));
    EXPECT_EQ(at({"1", "2", "3", "[t]", "[r]"}), QStringLiteral("timers 4-4, rules from 5"));
    EXPECT_EQ(at({"1", "2", "3", "[t]", "a", "b", "[r]", "c", "[r]"}),
              QStringLiteral("timers 4-6, rules from 7"));
    EXPECT_EQ(at({"1", "2", "3", "[t]", "a", "b"}),
              QStringLiteral("timers 4-6, rules from 6 (no [r])"));
    // "[r]" in the numbers' place, or as the fourth line, opens no rules.
    EXPECT_EQ(at({"[r]", "2", "3", "[t]", "a"}),
              QStringLiteral("timers 4-5, rules from 5 (no [r])"));
    EXPECT_EQ(at({"1", "2", "3", "[r]", "a"}), QStringLiteral("none"));
    EXPECT_EQ(at({"1", "2", "3", "[T]"}), QStringLiteral("none"));
    EXPECT_EQ(at({"1", "2", "3", "[t] "}), QStringLiteral("none"));
    EXPECT_EQ(at({"1", "2", "3"}), QStringLiteral("none"));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/daynumber.h"
#include "projectfixture.h"
#include "support/stranger.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

using CloseQuery = ProjectTest;
using LastRun = ProjectTest;

const QString kParameters =
    QStringLiteral("Time/Rule parameters have changed.\r\rSave before closing?");
const QString kLogData = QStringLiteral("Log data available in memory.\r\rSave?");

TEST_F(CloseQuery, NothingToAskClosesAndWritesTheLastRunFile)
{
    EXPECT_TRUE(closeQuery());
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(bytes(programLastRun()), QByteArray("*\r\n*\r\n"));
    EXPECT_FALSE(QFileInfo::exists(configLastRun()));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("cwd/v217.dat"))));
}

TEST_F(CloseQuery, TheLastRunFileNamesTheOpenPortAndTheProject)
{
    rig.link.setPort(3);
    rig.link.setActive(true);
    rig.core.OpenTheProjectFile(golden(QStringLiteral("twotimers.iom")));
    EXPECT_TRUE(closeQuery());
    EXPECT_EQ(bytes(programLastRun()),
              "3\r\n" + golden(QStringLiteral("twotimers.iom")).toUtf8() + "\r\n");

    // A port that is set but not open counts as none.
    rig.link.setActive(false);
    rig.core.project().setProjectFileName({});
    EXPECT_TRUE(closeQuery());
    EXPECT_EQ(bytes(programLastRun()), QByteArray("*\r\n*\r\n"));
}

// The parameters question for each answer; the save dialog may be cancelled
// without stopping the close.
TEST_F(CloseQuery, TheParametersQuestion)
{
    struct Row
    {
        View::Answer answer;
        QString saveTo;
        bool closes;
        QByteArray lastRun; // empty: not written
    };
    const QString target = file(QStringLiteral("closing.iom"));
    const QList<Row> rows{
        {View::Answer::Cancel, {}, false, {}},
        {View::Answer::No, {}, true, "*\r\n*\r\n"},
        {View::Answer::Yes, {}, true, "*\r\n*\r\n"},
        {View::Answer::Yes, target, true, "*\r\n" + target.toUtf8() + "\r\n"},
    };
    for (const Row& row : rows) {
        QFile::remove(programLastRun());
        Rig fresh;
        useFolders(fresh);
        fillTwoTimers(fresh.core);
        fresh.core.project().setChangeCount(2);
        fresh.view.answers.push_back(row.answer);
        fresh.view.files.push_back(row.saveTo);
        bool canClose = true;
        fresh.core.run([&] { fresh.core.FormCloseQuery(canClose); });
        EXPECT_EQ(canClose, row.closes);
        EXPECT_EQ(fresh.view.boxTexts(), QStringList{kParameters});
        EXPECT_EQ(fresh.view.lastButtons, View::Buttons::YesNoCancel);
        EXPECT_EQ(fresh.view.fileDialogs.size(), row.answer == View::Answer::Yes ? 1 : 0);
        if (row.lastRun.isEmpty()) {
            EXPECT_FALSE(QFileInfo::exists(programLastRun()));
        } else {
            EXPECT_EQ(bytes(programLastRun()), row.lastRun);
        }
        if (!row.saveTo.isEmpty()) {
            EXPECT_EQ(bytes(target), bytes(golden(QStringLiteral("twotimers.iom"))));
        }
    }
}

TEST_F(CloseQuery, CancelLeavesAnEarlierLastRunFileUntouched)
{
    writeBytes(programLastRun(), "4\r\n/some/project.iom\r\n");
    rig.core.project().setChangeCount(1);
    rig.view.answers.push_back(View::Answer::Cancel);
    EXPECT_FALSE(closeQuery());
    EXPECT_EQ(bytes(programLastRun()), QByteArray("4\r\n/some/project.iom\r\n"));
}

// The log question for each answer, also while a run is going on.
TEST_F(CloseQuery, TheLogQuestion)
{
    struct Row
    {
        View::Answer answer;
        QString saveTo;
        bool closes;
        bool logKept;
    };
    const QString logFile = file(QStringLiteral("run.txt"));
    const QList<Row> rows{
        {View::Answer::Cancel, {}, false, true},
        {View::Answer::No, {}, true, true},
        {View::Answer::Yes, logFile, true, false},
        {View::Answer::Yes, {}, true, true},
    };
    for (const Row& row : rows) {
        QFile::remove(programLastRun());
        Rig fresh;
        useFolders(fresh);
        fresh.core.poll().activate();
        fresh.core.loggerForm().LogDataValid = true;
        fresh.core.InputNowSBClick();
        fresh.core.logger().setLogList({QStringLiteral("line 1"), QStringLiteral("line 2")});
        fresh.view.answers.push_back(row.answer);
        fresh.view.files.push_back(row.saveTo);
        bool canClose = true;
        fresh.core.run([&] { fresh.core.FormCloseQuery(canClose); });
        EXPECT_EQ(canClose, row.closes);
        EXPECT_EQ(fresh.view.boxTexts(), QStringList{kLogData});
        if (row.answer == View::Answer::Yes) {
            EXPECT_EQ(fresh.view.fileDialogs, QList{View::FileDialog::SaveLog});
        }
        EXPECT_EQ(fresh.core.logger().LogList().isEmpty(), !row.logKept);
        EXPECT_EQ(QFileInfo::exists(programLastRun()), row.closes);
        if (!row.saveTo.isEmpty()) {
            EXPECT_EQ(bytes(logFile), QByteArray("line 1\r\nline 2\r\n"));
        }
    }
}

TEST_F(CloseQuery, BothQuestionsInTurn)
{
    rig.core.project().setChangeCount(1);
    rig.core.logger().setLogList({QStringLiteral("x")});
    rig.view.answers = {View::Answer::No, View::Answer::No};
    EXPECT_TRUE(closeQuery());
    EXPECT_EQ(rig.view.boxTexts(), (QStringList{kParameters, kLogData}));

    Rig second;
    useFolders(second);
    second.core.project().setChangeCount(1);
    second.core.logger().setLogList({QStringLiteral("x")});
    second.view.answers = {View::Answer::No, View::Answer::Cancel};
    bool canClose = true;
    second.core.FormCloseQuery(canClose);
    EXPECT_FALSE(canClose);
}

// A save that fails keeps the program open with the changes still there.
TEST_F(CloseQuery, AFailedSaveKeepsTheProgramOpen)
{
    writeBytes(file(QStringLiteral("plain")), "not a folder");
    const QString impossible = file(QStringLiteral("plain/closing.iom"));
    fillTwoTimers(rig.core);
    rig.core.project().setChangeCount(1);
    rig.view.answers.push_back(View::Answer::Yes);
    rig.view.files.push_back(impossible);
    EXPECT_FALSE(closeQuery());
    EXPECT_EQ(rig.view.boxTexts(),
              (QStringList{kParameters, QStringLiteral("Cannot create file ") + impossible + "."}));
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
    EXPECT_FALSE(QFileInfo::exists(programLastRun()));
}

// The program's folder cannot take the file: the configuration folder does,
// and the close goes on even when neither can.
TEST_F(LastRun, AnUnwritableProgramFolderFallsBack)
{
    writeBytes(file(QStringLiteral("plain")), "not a folder");
    rig.core.lastRunFolders().setProgramFolder(file(QStringLiteral("plain/bin")));
    rig.core.lastRunFolders().setConfigFolder(path(QStringLiteral("config/qmx-v217")));
    rig.core.project().setProjectFileName(QStringLiteral("/home/user/lab.iom"));
    EXPECT_TRUE(closeQuery());
    EXPECT_EQ(bytes(path(QStringLiteral("config/qmx-v217/v217.dat"))),
              QByteArray("*\r\n/home/user/lab.iom\r\n"));

    rig.core.lastRunFolders().setProgramFolder(QStringLiteral("/proc/v217"));
    rig.core.lastRunFolders().setConfigFolder(file(QStringLiteral("plain/config")));
    EXPECT_TRUE(closeQuery());
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(LastRun, TheConfigurationFolderFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", path(QStringLiteral("xdg")).toUtf8());
    LastRunFolders folders;
    EXPECT_EQ(folders.configFolder(), path(QStringLiteral("xdg/qmx-v217")));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(folders.configFolder(), QDir::home().filePath(QStringLiteral(".config/qmx-v217")));
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(folders.programFolder(), QCoreApplication::applicationDirPath());
}

// A relative XDG_CONFIG_HOME is no folder of the XDG rules: it is ignored,
// not taken from the current folder.
TEST_F(LastRun, ARelativeXdgConfigHomeIsIgnored)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    LastRunFolders folders;
    EXPECT_EQ(folders.configFolder(), QDir::home().filePath(QStringLiteral(".config/qmx-v217")));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

// Where start-up finds the file: the current folder first, else the newer
// of the program folder's and the configuration folder's.
TEST_F(LastRun, StartUpLooksInTheCurrentFolderFirst)
{
    WriteTextLines(file(QStringLiteral("a.iom")), {"0", "0", "0", "[t]", "[r]"});
    WriteTextLines(file(QStringLiteral("b.iom")), {"0", "0", "0", "[t]", "[r]"});
    WriteTextLines(file(QStringLiteral("c.iom")), {"0", "0", "0", "[t]", "[r]"});
    const auto startWith = [this](const QString& expected) {
        Rig fresh;
        useFolders(fresh);
        fresh.startUp();
        EXPECT_EQ(fresh.core.project().ProjectFileName(), expected);
        EXPECT_EQ(fresh.view.caption, expected.isEmpty()
                                          ? QStringLiteral("QMX V217 v140703")
                                          : QStringLiteral("QMX V217 v140703 <") +
                                                QFileInfo(expected).fileName() + ">");
    };
    startWith({});

    WriteTextLines(configLastRun(), {"12", file(QStringLiteral("c.iom"))});
    startWith(file(QStringLiteral("c.iom")));

    WriteTextLines(programLastRun(), {"12", file(QStringLiteral("b.iom"))});
    QFile config(configLastRun());
    ASSERT_TRUE(config.open(QIODevice::ReadWrite));
    ASSERT_TRUE(config.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                   QFileDevice::FileModificationTime));
    config.close();
    startWith(file(QStringLiteral("b.iom")));

    WriteTextLines(path(QStringLiteral("cwd/v217.dat")), {"12", file(QStringLiteral("a.iom"))});
    startWith(file(QStringLiteral("a.iom")));
}

// What a user does: builds a project, saves it, quits, and starts again.
TEST_F(LastRun, AProjectComesBackAfterARestart)
{
    rig.startUp();
    rig.link.setPort(2);
    rig.link.setActive(true);
    rig.view.onLoggerWindow = [this] {
        LoggerForm& form = rig.core.loggerForm();
        form.fields = {"03", "07",   "2014", "17", "30", "00", "04",
                       "07", "2014", "08",   "15", "30", "2.5"};
        form.LogDataChanged = true;
        return form.CheckTheLogData().isEmpty();
    };
    rig.core.LogEditButtClick();
    ASSERT_EQ(rig.core.project().ChangeCount(), 1);
    rig.core.timers().setTimerList(twoTimerRecords());
    rig.core.rules().setRulesList(QStringList{"1H=01H", "2Land3H=05L"});
    rig.core.project().setChangeCount(3);
    const QString target = file(QStringLiteral("lab.iom"));
    rig.view.answers.push_back(View::Answer::Yes);
    rig.view.files.push_back(target);
    ASSERT_TRUE(closeQuery());
    EXPECT_EQ(ReadTextLines(programLastRun()), (QStringList{"2", target}));

    Rig next;
    useFolders(next);
    next.startUp();
    EXPECT_TRUE(next.view.boxes.isEmpty());
    EXPECT_EQ(next.link.Port(), 2);
    EXPECT_TRUE(next.link.Active());
    EXPECT_EQ(next.view.caption, QStringLiteral("QMX V217 v140703 <lab.iom>"));
    EXPECT_EQ(next.core.project().ProjectFileName(), target);
    EXPECT_EQ(next.core.timers().TimerList(), rig.core.timers().TimerList());
    EXPECT_EQ(next.core.rules().RulesList(), rig.core.rules().RulesList());
    // The schedule comes back as the logger window shows it.
    EXPECT_EQ(next.core.loggerForm().fields, rig.core.loggerForm().fields);
    EXPECT_EQ(FormatGeneral(next.core.logger().LogOnTime(), u'.'),
              FormatGeneral(rig.core.logger().LogOnTime(), u'.'));
    EXPECT_EQ(FormatGeneral(next.core.logger().LogOffTime(), u'.'),
              FormatGeneral(rig.core.logger().LogOffTime(), u'.'));
    EXPECT_EQ(next.core.logger().LogFrequency(), rig.core.logger().LogFrequency());
    EXPECT_TRUE(next.core.loggerForm().LogDataValid);
    EXPECT_EQ(next.core.project().ChangeCount(), 0);
    EXPECT_EQ(next.view.status[1], QStringLiteral("Ready"));
}

// Started from a folder with its own last-run file, the program keeps that
// file current as well as the one beside the program.
TEST_F(LastRun, TheFileReadAtStartUpIsUpdatedOnClosing)
{
    const QString inCwd = path(QStringLiteral("cwd/v217.dat"));
    WriteTextLines(inCwd, {"*", "*"});
    rig.startUp();
    rig.core.OpenTheProjectFile(golden(QStringLiteral("empty.iom")));
    ASSERT_TRUE(closeQuery());
    const QByteArray expected = "*\r\n" + golden(QStringLiteral("empty.iom")).toUtf8() + "\r\n";
    EXPECT_EQ(bytes(inCwd), expected);
    EXPECT_EQ(bytes(programLastRun()), expected);

    // Started without one, closing creates none in the current folder.
    QFile::remove(inCwd);
    Rig next;
    useFolders(next);
    next.startUp();
    bool canClose = false;
    next.core.FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(bytes(programLastRun()), expected);
    EXPECT_FALSE(QFileInfo::exists(inCwd));
}

TEST_F(LastRun, AStarProjectLineLoadsNothingSilently)
{
    WriteTextLines(path(QStringLiteral("cwd/v217.dat")), {"12", "*"});
    rig.startUp();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_TRUE(rig.core.project().ProjectFileName().isEmpty());
    EXPECT_EQ(rig.view.caption, QStringLiteral("QMX V217 v140703"));
}

// A last-run file that is a link, or a file of another user, is read at
// start-up but never written over: a link planted in a shared folder would
// otherwise make closing replace whatever it points to. The configuration
// folder's copy keeps the last run instead.
TEST_F(LastRun, ALinkOrAStrangersFileIsReadButLeftAlone)
{
    const QString notes = file(QStringLiteral("notes.txt"));
    const QByteArray noteText = "my notes\r\n";
    const QString inCwd = path(QStringLiteral("cwd/v217.dat"));
    const QString expected = QStringLiteral("*\r\n") + golden(QStringLiteral("empty.iom")) + "\r\n";
    const auto startAndClose = [this] {
        Rig fresh;
        useFolders(fresh);
        fresh.startUp();
        fresh.core.OpenTheProjectFile(golden(QStringLiteral("empty.iom")));
        bool canClose = false;
        fresh.core.FormCloseQuery(canClose);
        EXPECT_TRUE(canClose);
        EXPECT_TRUE(fresh.view.boxes.isEmpty());
    };

    writeBytes(notes, noteText);
    ASSERT_TRUE(QFile::link(notes, inCwd));
    startAndClose();
    EXPECT_EQ(bytes(notes), noteText);
    EXPECT_EQ(QFileInfo(inCwd).symLinkTarget(), notes);
    EXPECT_EQ(bytes(configLastRun()), expected.toUtf8());
    EXPECT_EQ(bytes(programLastRun()), expected.toUtf8());

    // The program folder's file is a link too: only the configuration
    // folder is written.
    ASSERT_TRUE(QFile::remove(inCwd));
    ASSERT_TRUE(QFile::remove(programLastRun()));
    ASSERT_TRUE(QFile::remove(configLastRun()));
    ASSERT_TRUE(QFile::link(notes, programLastRun()));
    startAndClose();
    EXPECT_EQ(bytes(notes), noteText);
    EXPECT_TRUE(QFileInfo(programLastRun()).isSymLink());
    EXPECT_EQ(bytes(configLastRun()), expected.toUtf8());

    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can make a file of another user";
    ASSERT_TRUE(QFile::remove(programLastRun()));
    ASSERT_TRUE(QFile::remove(configLastRun()));
    writeBytes(inCwd, noteText);
    ASSERT_TRUE(stranger::giveAway(inCwd));
    startAndClose();
    EXPECT_EQ(bytes(inCwd), noteText);
    EXPECT_EQ(stranger::ownerOf(inCwd), stranger::kUid);
    EXPECT_EQ(bytes(configLastRun()), expected.toUtf8());
    EXPECT_EQ(bytes(programLastRun()), expected.toUtf8());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textlines.h"
#include "logtestrig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kOffered = QStringLiteral("A log run was interrupted.\r\r");

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray asSaved(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QString copyPath(Controller& core)
{
    return QDir(core.logRecovery().folder()).filePath(LogRecovery::kFileName);
}

class SafetyCopy : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    [[nodiscard]] QString file(const QString& name) const { return folder.filePath(name); }

    // A Log Now run with a line at every input read. The close query then
    // asks only about the log.
    static void startRun(LogRig& r)
    {
        ASSERT_EQ(r.confirmSchedule(r.at(12, 0, 0), r.at(13, 0, 0), "0.2"), QString());
        r.core.project().setChangeCount(0);
        r.activate();
        r.core.InputNowSBClick();
        ASSERT_TRUE(r.core.logger().LogNow());
    }
    // The next start of the program, on the given state folder.
    static void restart(Rig& next, const QString& stateFolder)
    {
        next.core.logRecovery().setFolder(stateFolder);
        next.tick();
    }

    QTemporaryDir folder;
    LogRig rig;
};

// The copy holds what LogList holds, line for line, from the header to the
// finish line. A cancelled save keeps it; a No to the next run's question
// replaces it, a No to the close query removes it (a save does too, below).
TEST_F(SafetyCopy, FollowsTheLinesUntilTheUserDropsThem)
{
    startRun(rig);
    rig.timedCycles(4);
    EXPECT_EQ(readBytes(copyPath(rig.core)), asSaved(rig.core.logger().LogList()));
    rig.deactivate();
    ASSERT_EQ(rig.core.logger().LogList().size(), 7 + 4 + 2);
    const QByteArray finished = asSaved(rig.core.logger().LogList());
    EXPECT_EQ(readBytes(copyPath(rig.core)), finished);
    EXPECT_EQ(QFile::permissions(rig.core.logRecovery().folder()) & 0x0FF, 0);

    rig.core.LogSaveButtClick();
    bool canClose = false;
    for (const View::Answer answer : {View::Answer::Cancel, View::Answer::Yes}) {
        rig.view.answers.push_back(answer);
        rig.core.FormCloseQuery(canClose);
        EXPECT_EQ(readBytes(copyPath(rig.core)), finished);
    }
    EXPECT_TRUE(canClose);

    rig.activate();
    rig.view.answers.push_back(View::Answer::No);
    rig.core.InputNowSBClick();
    ASSERT_EQ(rig.core.logger().LogList().size(), 7);
    EXPECT_EQ(readBytes(copyPath(rig.core)), asSaved(rig.core.logger().LogList()));
    rig.view.answers.push_back(View::Answer::No);
    rig.core.FormCloseQuery(canClose);
    rig.timedCycles(2);
    EXPECT_FALSE(QFileInfo::exists(copyPath(rig.core)));
}

// A run killed mid-way leaves every line it captured on disk; the next start
// offers them, and a Yes saves them with the usual dialog and writer.
TEST_F(SafetyCopy, SurvivesAKillAndIsOfferedAtTheNextStart)
{
    const QString expected = file(QStringLiteral("captured.txt"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), file(QStringLiteral("state")));
    env.insert(QStringLiteral("TMPDIR"), folder.path());
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(V217_LOG_RUN_CHILD), {expected, QStringLiteral("25")});
    ASSERT_TRUE(child.waitForStarted(10'000));
    while (!child.canReadLine() && child.waitForReadyRead(30'000)) {
    }
    ASSERT_EQ(child.readLine(), QByteArray("ready\n")) << child.readAllStandardError().constData();
    child.kill();
    ASSERT_TRUE(child.waitForFinished(10'000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    const QString copy = file(QStringLiteral("state/qmx-v217/") + LogRecovery::kFileName);
    const QByteArray captured = readBytes(expected);
    ASSERT_EQ(SplitTextLines(captured).size(), 7 + 25);
    EXPECT_EQ(readBytes(copy), captured);

    {
        QFile touched(copy);
        ASSERT_TRUE(touched.open(QIODevice::ReadOnly));
        ASSERT_TRUE(touched.setFileTime(QDateTime(QDate(2014, 7, 2), QTime(18, 30, 5)),
                                        QFileDevice::FileModificationTime));
    }
    Rig next;
    next.view.files.push_back(file(QStringLiteral("saved.txt")));
    restart(next, file(QStringLiteral("state/qmx-v217")));
    EXPECT_EQ(
        next.view.boxTexts(),
        QStringList{kOffered + QStringLiteral("32 lines, last written 02/07/2014 18:30:05.\r\r"
                                              "Save it now?")});
    EXPECT_EQ(next.view.lastButtons, View::Buttons::YesNo);
    EXPECT_EQ(next.view.fileDialogs, QList{View::FileDialog::SaveLog});
    EXPECT_EQ(readBytes(file(QStringLiteral("saved.txt"))), captured);
    EXPECT_TRUE(next.core.logger().LogList().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(copy));
}

// No, a cancelled dialog or a failed save keep the copy, and its lines wait
// in memory as a finished run's do.
TEST_F(SafetyCopy, IsNeverDeletedWithoutAnAnswer)
{
    // A run whose controller ended without a save.
    const QString state = file(QStringLiteral("state"));
    QStringList lines;
    QByteArray copied;
    {
        LogRig ended;
        ended.core.logRecovery().setFolder(state);
        startRun(ended);
        ended.timedCycles(2);
        lines = ended.core.logger().LogList();
        copied = readBytes(copyPath(ended.core));
    }

    // No; Yes and a cancelled dialog; Yes and a save that fails.
    const QList<std::pair<View::Answer, QString>> rows{
        {View::Answer::No, {}},
        {View::Answer::Yes, {}},
        {View::Answer::Yes, file(QStringLiteral("missing/log.txt"))}};
    for (const auto& [answer, saveTo] : rows) {
        Rig next;
        next.view.answers.push_back(answer);
        next.view.files.push_back(saveTo);
        restart(next, state);
        ASSERT_FALSE(next.view.boxes.isEmpty());
        EXPECT_TRUE(next.view.boxes.at(0).text.startsWith(kOffered));
        EXPECT_EQ(next.view.boxes.size(), saveTo.isEmpty() ? 1 : 2);
        EXPECT_EQ(next.view.fileDialogs.size(), answer == View::Answer::Yes ? 1 : 0);
        EXPECT_EQ(next.core.logger().LogList(), lines);
        EXPECT_EQ(readBytes(copyPath(next.core)), copied);
        EXPECT_EQ(next.view.status[1], QStringLiteral("Ready"));
    }
}

// The offer declined, then a new run asked for: Yes to the question about
// the recovered lines and Esc in the save dialog keep both the lines and the
// copy, which the new run would have replaced.
TEST_F(SafetyCopy, ACancelledSaveBeforeTheNextRunKeepsTheRecoveredLines)
{
    const QString state = file(QStringLiteral("state"));
    QStringList lines;
    QByteArray copied;
    {
        LogRig ended;
        ended.core.logRecovery().setFolder(state);
        startRun(ended);
        ended.timedCycles(2);
        lines = ended.core.logger().LogList();
        copied = readBytes(copyPath(ended.core));
    }
    // Declined at the start: the lines wait in memory.
    LogRig next([&state](LogRig& r) {
        r.core.logRecovery().setFolder(state);
        r.view.answers.push_back(View::Answer::No);
    });
    ASSERT_EQ(next.core.logger().LogList(), lines);
    ASSERT_EQ(next.confirmSchedule(next.at(12, 0, 0), next.at(13, 0, 0), "0.2"), QString());
    next.activate();
    next.view.boxes.clear();
    next.view.answers.push_back(View::Answer::Yes);
    next.core.run([&next] { next.core.InputNowSBClick(); });
    EXPECT_EQ(next.view.boxTexts(),
              QStringList{QStringLiteral("Log data available in memory.\r\rSave?")});
    EXPECT_EQ(next.view.fileDialogs, QList{View::FileDialog::SaveLog});
    EXPECT_FALSE(next.core.logger().LogNow());
    EXPECT_EQ(next.core.logger().LogList(), lines);
    next.timedCycles(2);
    EXPECT_EQ(readBytes(copyPath(next.core)), copied);
}

// While one controller runs, another neither writes over its copy nor
// offers or removes it: a run of its own keeps its copy in a file of its
// own beside it, which goes when that run is saved.
TEST_F(SafetyCopy, TwoControllersKeepApart)
{
    startRun(rig);
    rig.timedCycles(2);
    const QByteArray copied = readBytes(copyPath(rig.core));
    Rig starting;
    restart(starting, rig.core.logRecovery().folder());
    EXPECT_TRUE(starting.view.boxes.isEmpty());

    LogRig other;
    other.core.logRecovery().setFolder(rig.core.logRecovery().folder());
    startRun(other);
    other.timedCycles(2);
    other.deactivate();
    const QString otherCopy =
        QDir(rig.core.logRecovery().folder()).filePath(QStringLiteral("log-recovery-2.txt"));
    EXPECT_EQ(readBytes(otherCopy), asSaved(other.core.logger().LogList()));
    other.view.files.push_back(file(QStringLiteral("other.txt")));
    other.core.LogSaveButtClick();
    EXPECT_TRUE(other.core.logger().LogList().isEmpty());
    EXPECT_EQ(other.view.statusHistory[1].count(QStringLiteral("Log safety copy failed")), 0);
    EXPECT_FALSE(QFileInfo::exists(otherCopy));
    EXPECT_EQ(readBytes(copyPath(rig.core)), copied);
}

// Two controllers of one user stop mid-run; each copy is offered at a start
// of its own, and the copy whose lines were saved is the one that goes.
TEST_F(SafetyCopy, TheCopiesOfTwoInterruptedRunsAreBothOffered)
{
    const QString state = file(QStringLiteral("state"));
    QList<QStringList> runs;
    {
        LogRig first([&](LogRig& r) { r.core.logRecovery().setFolder(state); });
        LogRig second([&](LogRig& r) { r.core.logRecovery().setFolder(state); });
        startRun(first);
        startRun(second);
        first.timedCycles(3);
        second.timedCycles(5);
        runs = {first.core.logger().LogList(), second.core.logger().LogList()};
    }
    QList<QStringList> offered;
    for (int start = 0; start < 2; ++start) {
        Rig next;
        next.view.answers.push_back(View::Answer::Yes);
        next.view.files.push_back(file(QStringLiteral("saved%1.txt").arg(start)));
        restart(next, state);
        ASSERT_EQ(next.view.boxes.size(), 1);
        EXPECT_TRUE(next.view.boxes.at(0).text.startsWith(kOffered));
        offered.append(SplitTextLines(readBytes(file(QStringLiteral("saved%1.txt").arg(start)))));
    }
    EXPECT_EQ(offered, runs);
    EXPECT_TRUE(QDir(state).isEmpty(QDir::Files));
    Rig last;
    restart(last, state);
    EXPECT_TRUE(last.view.boxes.isEmpty());
}

// A link planted where the copy goes is not followed, and a copy that
// cannot be made is said once; the run goes on without one.
TEST_F(SafetyCopy, ALinkIsNotFollowedAndAFailureIsSaidOnce)
{
    const QString target = file(QStringLiteral("notes.txt"));
    ASSERT_TRUE(QDir().mkpath(rig.core.logRecovery().folder()));
    ASSERT_TRUE(QFile::link(target, copyPath(rig.core)));
    startRun(rig);
    rig.timedCycles(5);
    rig.deactivate();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(rig.core.logger().LogList().size(), 7 + 5 + 2);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.view.statusHistory[1].count(QStringLiteral("Log safety copy failed")), 1);
}

// The state folder of the XDG rules; a relative XDG_STATE_HOME is ignored.
TEST(SafetyCopyFolder, FollowsXdgStateHome)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    LogRecovery recovery;
    qputenv("XDG_STATE_HOME", "/var/tmp/state");
    EXPECT_EQ(recovery.folder(), QStringLiteral("/var/tmp/state/qmx-v217"));
    for (const char* ignored : {"", "relative/state"}) {
        qputenv("XDG_STATE_HOME", ignored);
        EXPECT_EQ(recovery.folder(), QDir::homePath() + QStringLiteral("/.local/state/qmx-v217"));
    }
    qputenv("XDG_STATE_HOME", saved);
}

} // namespace

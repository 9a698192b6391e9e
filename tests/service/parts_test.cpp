// SPDX-License-Identifier: GPL-3.0-or-later
// The service's smaller parts: the recovery waits, the log line form, the
// headless view's answers, the device watch and the log file.
#include "common/savefile.h"
#include "service/backoff.h"
#include "service/devicewatch.h"
#include "service/headlessview.h"
#include "service/journal.h"
#include "service/logfile.h"
#include "tools/waituntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(ServiceBackoff, DoublesToTheCeilingAndStartsAgainAfterAWholeCycle)
{
    service::Backoff backoff;
    QList<qint64> waits;
    for (int i = 0; i < 9; ++i)
        waits.append(backoff.next().count());
    EXPECT_EQ(waits, (QList<qint64>{500, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    backoff.noteWholeCycle();
    EXPECT_EQ(backoff.next().count(), 500);
    EXPECT_EQ(backoff.next().count(), 1000);
}

TEST(ServiceJournal, OneLinePerMessageWithLevelOrJournalPriority)
{
    const service::Journal plain(false);
    EXPECT_EQ(plain.format(QStringLiteral("tank"), service::Level::Error,
                           QStringLiteral("The board is not responding.\rPlease check port.\r")),
              QStringLiteral("tank: error: The board is not responding. Please check port."));
    EXPECT_EQ(plain.format(QStringLiteral("tank"), service::Level::Info, QStringLiteral("Ready")),
              QStringLiteral("tank: info: Ready"));
    const service::Journal journal(true);
    EXPECT_EQ(journal.format(QStringLiteral("pump"), service::Level::Warning,
                             QStringLiteral("Rules list empty")),
              QStringLiteral("<4>pump: Rules list empty"));
    EXPECT_EQ(journal.format(QStringLiteral("pump"), service::Level::Error, QStringLiteral("x")),
              QStringLiteral("<3>pump: x"));
}

TEST(ServiceHeadlessView, LogsStatusAndBoxesAndAnswersTheSafeSide)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    {
        service::Journal journal(false, out);
        service::HeadlessView view(QStringLiteral("tank"), &journal);
        view.setStatusText(View::Panel::Clock, QStringLiteral("12:00:00"));
        view.setStatusText(View::Panel::Message, QStringLiteral("System opened"));
        view.setStatusText(View::Panel::Message, QStringLiteral("System opened"));
        view.showError(QStringLiteral("Error: Invalid data received"));
        EXPECT_EQ(view.confirm(QStringLiteral("Log data available in memory.\r\rSave?"),
                               View::Buttons::YesNoCancel, View::Answer::Cancel),
                  View::Answer::Cancel);
        EXPECT_EQ(view.confirm(QStringLiteral("Continue?"), View::Buttons::YesNo, View::Answer::No),
                  View::Answer::No);
        EXPECT_TRUE(view.chooseFile(View::FileDialog::SaveLog).isEmpty());
        QString port = QStringLiteral("3");
        EXPECT_FALSE(view.showPortDialog(port));
        EXPECT_EQ(view.errorBoxes(), QStringList{QStringLiteral("Error: Invalid data received")});
    }
    std::fclose(out);
    const QString text = QString::fromUtf8(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    EXPECT_EQ(text, QStringLiteral("tank: info: System opened\n"
                                   "tank: error: Error: Invalid data received\n"
                                   "tank: warning: Log data available in memory. Save? - "
                                   "answered Cancel\n"
                                   "tank: warning: Continue? - answered No\n"));
}

TEST(ServiceDeviceWatch, FiresWhenALinkLeadsToADeviceAgainAndNotBefore)
{
    QTemporaryDir dir;
    const QString byId = dir.filePath(QStringLiteral("serial/by-id"));
    const QString link = byId + QStringLiteral("/usb-FTDI-port0");
    const QString node = dir.filePath(QStringLiteral("dev/ttyUSB0"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("dev"))));
    // The by-id folder is gone with its last device: the watch starts from
    // its parent. A link to a node that is not there: the node's folder is
    // watched too.
    EXPECT_EQ(service::DeviceWatch::foldersFor(link), QStringList{dir.path()});
    int fired = 0;
    service::DeviceWatch watch;
    watch.watch(link, [&] { ++fired; });
    ASSERT_TRUE(QDir().mkpath(byId));
    ASSERT_TRUE(QFile::link(node, link));
    EXPECT_EQ(service::DeviceWatch::foldersFor(link),
              (QStringList{byId, dir.filePath(QStringLiteral("dev"))}));
    ASSERT_TRUE(waitUntil([&] { return fired == 0 && watch.watching(); }));
    QFile device(node);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.close();
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }));
    EXPECT_FALSE(watch.watching());
}

TEST(ServiceLogFile, AppendsEachLineAndReportsAFileItCannotWriteOnce)
{
    QTemporaryDir dir;
    QStringList problems;
    service::LogFile log([&](const QString& problem) { problems.append(problem); },
                         [](const QString&) {});
    log.setPath(dir.filePath(QStringLiteral("logs/tank.log")));
    log.append(QStringLiteral("Log Now initiated"));
    QFile file(log.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // On disk at once, before the next line.
    EXPECT_EQ(file.readAll(), QByteArray("Log Now initiated\r\n"));
    log.append(QString());
    EXPECT_EQ(file.readAll(), QByteArray("\r\n"));

    log.setPath(dir.filePath(QStringLiteral("logs")));
    log.append(QStringLiteral("a"));
    log.append(QStringLiteral("b"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith(
        QStringLiteral("cannot open the log file %1: Is a directory;").arg(log.path())))
        << problems.first().toStdString();
    EXPECT_EQ(log.waiting(), 2);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST(ServiceLogFile, AReopeningAfterARotationWritesTheNextLinesToTheFileAtThePath)
{
    QTemporaryDir dir;
    service::LogFile log([](const QString&) {}, [](const QString&) {});
    log.setPath(dir.filePath(QStringLiteral("tank.log")));
    const QString rotated = dir.filePath(QStringLiteral("tank.log.1"));

    log.append(QStringLiteral("1"));
    ASSERT_TRUE(QFile::rename(log.path(), rotated));
    // Until the reopening the lines follow the open file, as logrotate
    // expects of a program that reopens on SIGHUP.
    log.append(QStringLiteral("2"));
    log.reopen();
    log.append(QStringLiteral("3"));
    EXPECT_EQ(contentOf(rotated), QByteArray("1\r\n2\r\n"));
    EXPECT_EQ(contentOf(log.path()), QByteArray("3\r\n"));

    ASSERT_TRUE(QFile::remove(log.path()));
    log.reopen();
    log.append(QStringLiteral("4"));
    EXPECT_EQ(contentOf(log.path()), QByteArray("4\r\n"));
}

// The file-size limit (ulimit -f) makes the kernel cut a write short at a
// byte count the test chooses and lets it be lifted again, as room coming
// back on a full disk would; /dev/full gives the full disk's own reason.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        IgnoreFileSizeSignal();
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    void lift() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old = {};
};

TEST(ServiceLogFile, AFullDiskTakesWholeLinesOnlyAndTheWaitingLinesFollowWhenThereIsRoom)
{
    QTemporaryDir dir;
    QStringList problems;
    QStringList notes;
    service::LogFile log([&](const QString& problem) { problems.append(problem); },
                         [&](const QString& note) { notes.append(note); });

    log.setPath(QStringLiteral("/dev/full"));
    log.append(QStringLiteral("lost"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith(
        QStringLiteral("cannot write the log file /dev/full: No space left on device;")))
        << problems.first().toStdString();

    problems.clear();
    log.setPath(dir.filePath(QStringLiteral("tank.log")));
    // The waiting line goes to the new path at once.
    EXPECT_EQ(contentOf(log.path()), "lost\r\n");
    EXPECT_EQ(notes,
              QStringList{QStringLiteral("the log file %1 is written again").arg(log.path())});
    const QByteArray line = "0123456789\r\n";
    {
        FileSizeLimit limit(6 + 2 * line.size() + 5);
        for (int i = 0; i < 4; ++i)
            log.append(QString::fromLatin1(line.chopped(2)));
        // Two lines fitted and the third was cut back; nothing of it stays.
        EXPECT_EQ(contentOf(log.path()), "lost\r\n" + line.repeated(2));
        EXPECT_EQ(log.waiting(), 2);
        ASSERT_EQ(problems.size(), 1);
        EXPECT_TRUE(problems.first().contains(QStringLiteral(": File too large;")))
            << problems.first().toStdString();
        limit.lift();
        log.append(QStringLiteral("after"));
    }
    EXPECT_EQ(contentOf(log.path()), "lost\r\n" + line.repeated(4) + "after\r\n");
    EXPECT_EQ(notes.size(), 2);
    EXPECT_EQ(log.waiting(), 0);

    // Past the bound the oldest waiting lines go, and the journal says how
    // many.
    log.setPath(QStringLiteral("/dev/full"));
    for (qsizetype i = 0; i < service::LogFile::kMaxWaiting + 3; ++i)
        log.append(QString::number(i));
    EXPECT_EQ(log.waiting(), service::LogFile::kMaxWaiting);
    log.setPath(dir.filePath(QStringLiteral("other.log")));
    EXPECT_EQ(notes.last(),
              QStringLiteral("the log file %1 is written again; 3 line(s) captured meanwhile are "
                             "lost")
                  .arg(log.path()));
    EXPECT_TRUE(contentOf(log.path()).startsWith("3\r\n4\r\n"));
}

// A real full disk: a small tmpfs, mounted in a mount namespace of a child
// process of its own (root, as on CI; skipped where that is not allowed),
// filled by the log and by another file whose removal makes room. The
// child's exit status names the first check that failed.
int fullDiskChild(const QString& folder)
{
    const QByteArray dir = QFile::encodeName(folder);
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("v217-full", dir.constData(), "tmpfs", 0, "size=32k") != 0)
        return 77;
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly) || filler.write(QByteArray(16384, 'x')) != 16384)
        return 1;
    filler.close();
    QStringList problems;
    QStringList notes;
    service::LogFile log([&](const QString& problem) { problems.append(problem); },
                         [&](const QString& note) { notes.append(note); });
    log.setPath(folder + QStringLiteral("/tank.log"));
    // 50 characters and CR LF: the line that reaches past the last free
    // page is cut short by the kernel.
    const auto line = [](int i) { return QString::number(i).rightJustified(50, QLatin1Char('.')); };
    int appended = 0;
    while (log.waiting() == 0 && appended < 10000)
        log.append(line(appended++));
    for (int i = 0; i < 5; ++i)
        log.append(line(appended++));
    if (log.waiting() != 6)
        return 2;
    if (contentOf(log.path()).size() != (appended - 6) * 52)
        return 3;
    if (problems.size() != 1 ||
        !problems.first().contains(QStringLiteral(": No space left on device;")))
        return 4;
    if (!filler.remove())
        return 5;
    log.append(line(appended++));
    QByteArray expected;
    for (int i = 0; i < appended; ++i)
        expected += line(i).toLatin1() + "\r\n";
    if (log.waiting() != 0 || contentOf(log.path()) != expected)
        return 6;
    return notes.size() == 1 ? 0 : 7;
}

TEST(ServiceLogFile, OnARealFullDiskTheLinesWaitWholeAndFollowOnceThereIsRoom)
{
    QTemporaryDir dir;
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(fullDiskChild(dir.path()));
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const char* const checks[] = {"passed",
                                  "the filler fitted",
                                  "6 lines wait",
                                  "the file holds the whole lines written",
                                  "one problem, with the system's reason",
                                  "the filler went",
                                  "every line in the file, in order, after the room came back",
                                  "one note that writing goes on"};
    const int failed = WEXITSTATUS(status);
    EXPECT_EQ(failed, 0) << "failed: " << (failed < 8 ? checks[failed] : "?");
}

TEST(ServiceLogFile, NeverWritesThroughALinkOrIntoAFileAnotherUserPutInASharedFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a link or a file to another user needs root";
    constexpr uid_t kOtherUser = 65534;
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString victim = dir.filePath(QStringLiteral("victim"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep\n");
    }
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    };
    const auto giveAway = [&](const QString& path) {
        return ::lchown(QFile::encodeName(path).constData(), kOtherUser, kOtherUser) == 0;
    };
    // Each case on a log of its own: a log keeps the lines a file refused
    // for the next file it is given.
    const auto problemOf = [](const QString& path) {
        QStringList problems;
        service::LogFile log([&](const QString& problem) { problems.append(problem); },
                             [](const QString&) {});
        log.setPath(path);
        log.append(QStringLiteral("Log Now initiated"));
        return problems;
    };
    const auto refusal = [](const QString& path, const QString& reason) {
        return QStringLiteral("cannot open the log file %1: %2;").arg(path, reason);
    };

    const QString planted = shared + QStringLiteral("/tank.log");
    ASSERT_TRUE(QFile::link(victim, planted));
    ASSERT_TRUE(giveAway(planted));
    QStringList problems = problemOf(planted);
    EXPECT_EQ(contents(victim), QByteArray("keep\n"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith(refusal(
        planted, QStringLiteral("it leads through a link of another user in a shared folder, "
                                "which is not followed"))))
        << problems.first().toStdString();

    const QString theirs = shared + QStringLiteral("/pump.log");
    {
        QFile file(theirs);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(giveAway(theirs));
    problems = problemOf(theirs);
    EXPECT_EQ(contents(theirs), QByteArray());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith(refusal(
        theirs, QStringLiteral("%1 is a file of another user in a shared folder").arg(theirs))))
        << problems.first().toStdString();

    // A link of the user's own there is the user's choice.
    const QString own = shared + QStringLiteral("/own.log");
    ASSERT_TRUE(QFile::link(victim, own));
    EXPECT_TRUE(problemOf(own).isEmpty());
    EXPECT_EQ(contents(victim), QByteArray("keep\nLog Now initiated\r\n"));
}

} // namespace

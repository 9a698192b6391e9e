// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/singleinstance.h"
#include "support/stranger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Outcome = SingleInstance::Outcome;

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("XDG_RUNTIME_DIR");
        restore("TMPDIR", savedTmp);
        restore("XDG_STATE_HOME", savedState);
    }
    static void restore(const char* name, const QByteArray& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    // XDG_RUNTIME_DIR is runtime (unset when empty), the shared temp folder
    // is `tmp`, and XDG_STATE_HOME is `state`.
    void withoutRuntimeDir(const QString& tmp, const QString& state,
                           const QString& runtime = QString())
    {
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
        qputenv("TMPDIR", tmp.toUtf8());
        qputenv("XDG_STATE_HOME", state.toUtf8());
    }
    static QString userName() { return QString::fromLocal8Bit(getpwuid(geteuid())->pw_name); }

    QTemporaryDir folder;
    QByteArray savedTmp = qgetenv("TMPDIR");
    QByteArray savedState = qgetenv("XDG_STATE_HOME");
};

TEST_F(SingleInstanceTest, ASecondCopyIsRefused)
{
    SingleInstance first(QStringLiteral("qmxv217b"));
    ASSERT_EQ(first.acquire(), Outcome::Acquired);
    EXPECT_EQ(first.lockPath(), QDir(folder.path()).filePath(QStringLiteral("qmxv217b.lock")));
    SingleInstance second(QStringLiteral("qmxv217b"));
    EXPECT_EQ(second.acquire(), Outcome::AlreadyRunning);
}

TEST_F(SingleInstanceTest, TheLockIsFreeAgainAfterTheFirstCopyEnds)
{
    {
        SingleInstance first(QStringLiteral("qmxv217b"));
        ASSERT_EQ(first.acquire(), Outcome::Acquired);
    }
    SingleInstance next(QStringLiteral("qmxv217b"));
    EXPECT_EQ(next.acquire(), Outcome::Acquired);
}

TEST_F(SingleInstanceTest, TheLockOfADeadCopyIsTakenOver)
{
    // A lock file left by a process that no longer exists.
    QFile stale(QDir(folder.path()).filePath(QStringLiteral("qmxv217b.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\nqmxv217\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance next(QStringLiteral("qmxv217b"));
    EXPECT_EQ(next.acquire(), Outcome::Acquired);
}

// Without a private XDG_RUNTIME_DIR the lock goes to the user's state
// folder, never into the shared temp folder, where anyone could have made
// the lock file, or the folder Qt would make there, first.
TEST_F(SingleInstanceTest, ALockOrAFolderPlantedInTheSharedTempFolderKeepsNobodyOut)
{
    QTemporaryDir shared;
    ASSERT_TRUE(shared.isValid());
    // A lock file held by a live process: this one.
    QLockFile squatter(QDir(shared.path()).filePath(QStringLiteral("qmxv217b.lock")));
    ASSERT_TRUE(squatter.tryLock(0));
    // Another user's folder where Qt makes the runtime folder.
    const QString planted = QDir(shared.path()).filePath(QStringLiteral("runtime-") + userName());
    ASSERT_TRUE(QDir().mkdir(planted));
    ASSERT_EQ(::chmod(QFile::encodeName(planted).constData(), 0700), 0);
    if (stranger::canGiveAway()) {
        ASSERT_TRUE(stranger::giveAway(planted));
    }
    // A runtime folder that others may enter is not used either.
    const QString open = folder.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(open));
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);
    QStringList runtimes{QString(), open};
    if (stranger::canGiveAway())
        runtimes.append(planted);

    const QString state = folder.filePath(QStringLiteral("home/.local/state"));
    const QString privateFolder = state + QStringLiteral("/qmx-v217");
    for (const QString& runtime : std::as_const(runtimes)) {
        SCOPED_TRACE(runtime.toStdString());
        withoutRuntimeDir(shared.path(), state, runtime);
        SingleInstance instance(QStringLiteral("qmxv217b"));
        EXPECT_EQ(instance.acquire(), Outcome::Acquired);
        EXPECT_EQ(instance.lockPath(),
                  QDir(privateFolder).filePath(QStringLiteral("qmxv217b.lock")));
    }
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFileInfo(privateFolder).permissions() & others, QFileDevice::Permissions());
}

// A lock that cannot be made is told as what it is, with the file and the
// reason, not as a copy that is running.
TEST_F(SingleInstanceTest, ALockThatCannotBeMadeIsAFailureWithItsReason)
{
    // A state folder below a plain file: it cannot be made.
    QFile notAFolder(folder.filePath(QStringLiteral("state")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    withoutRuntimeDir(folder.path(), notAFolder.fileName());

    SingleInstance instance(QStringLiteral("qmxv217b"));
    EXPECT_EQ(instance.acquire(), Outcome::Failed);
    EXPECT_EQ(instance.failureText(),
              QStringLiteral("Cannot create the lock file qmxv217b.lock: there is no private "
                             "folder for it (XDG_RUNTIME_DIR must be a folder of the user's own "
                             "with mode 0700, else %1/qmx-v217 one of the user's own that nobody "
                             "else may write into).")
                  .arg(notAFolder.fileName()));
}

// Only a lock file that names its live process means a running copy; a
// folder, or a file that is no lock, at the lock's path is named as it is.
TEST_F(SingleInstanceTest, WhatIsInTheLocksWayIsSaidAsWhatItIs)
{
    const QString path = QDir(folder.path()).filePath(QStringLiteral("qmxv217b.lock"));
    const QString head = QStringLiteral("Cannot create the lock file %1: ").arg(path);
    const QString unreadable =
        head + QStringLiteral("a lock file there cannot be read (it names no process); remove it "
                              "if no copy of the program is running.");
    ASSERT_TRUE(QDir().mkdir(path));
    {
        SingleInstance instance(QStringLiteral("qmxv217b"));
        EXPECT_EQ(instance.acquire(), Outcome::Failed);
        EXPECT_EQ(instance.failureText(),
                  head + QStringLiteral("a folder of that name is in the way."));
    }
    ASSERT_TRUE(QDir().rmdir(path));
    for (const QByteArray& content : {QByteArray(), QByteArray("not a lock\n")}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        SingleInstance instance(QStringLiteral("qmxv217b"));
        EXPECT_EQ(instance.acquire(), Outcome::Failed) << content.constData();
        EXPECT_EQ(instance.failureText(), unreadable);
    }

    // A lock file its user may not read, seen by a user who is no root.
    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can run a check as another user";
    ASSERT_TRUE(stranger::giveAway(folder.path()));
    ASSERT_TRUE(stranger::giveAway(path));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    const QString denied =
        head + QStringLiteral("a lock file there cannot be read (%1); remove it if no copy of the "
                              "program is running.")
                   .arg(QString::fromLocal8Bit(std::strerror(EACCES)));
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(stranger::kUid) != 0 ||
            ::setuid(stranger::kUid) != 0)
            ::_exit(2);
        SingleInstance instance(QStringLiteral("qmxv217b"));
        const bool failed = instance.acquire() == Outcome::Failed;
        ::_exit(failed && instance.failureText() == denied ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(SingleInstanceTest, ALockFileTheSystemRefusesIsAFailureWithTheSystemsReason)
{
    const QString name(300, QLatin1Char('q'));
    SingleInstance instance(name);
    EXPECT_EQ(instance.acquire(), Outcome::Failed);
    EXPECT_EQ(instance.failureText(),
              QStringLiteral("Cannot create the lock file %1: %2.")
                  .arg(QDir(folder.path()).filePath(name + QStringLiteral(".lock")),
                       QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))));
}

} // namespace

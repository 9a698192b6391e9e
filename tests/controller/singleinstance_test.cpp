// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <pwd.h>
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
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
    }
    // No XDG_RUNTIME_DIR, and the shared temp folder is `tmp`.
    void withoutRuntimeDir(const QString& tmp)
    {
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", tmp.toUtf8());
    }
    static QString userName() { return QString::fromLocal8Bit(getpwuid(geteuid())->pw_name); }

    QTemporaryDir folder;
    QByteArray savedTmp = qgetenv("TMPDIR");
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

// Without XDG_RUNTIME_DIR the lock goes to a folder of the user's own that
// nobody else may enter, never into the shared temp folder, where anyone
// could have made the lock file first.
TEST_F(SingleInstanceTest, ALockPlantedInTheSharedTempFolderKeepsNobodyOut)
{
    QTemporaryDir shared;
    ASSERT_TRUE(shared.isValid());
    // A lock file held by a live process: this one.
    QLockFile squatter(QDir(shared.path()).filePath(QStringLiteral("qmxv217b.lock")));
    ASSERT_TRUE(squatter.tryLock(0));
    withoutRuntimeDir(shared.path());

    SingleInstance instance(QStringLiteral("qmxv217b"));
    EXPECT_EQ(instance.acquire(), Outcome::Acquired);
    const QString privateFolder =
        QDir(shared.path()).filePath(QStringLiteral("runtime-") + userName());
    EXPECT_EQ(instance.lockPath(), QDir(privateFolder).filePath(QStringLiteral("qmxv217b.lock")));
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFileInfo(privateFolder).permissions() & others, QFileDevice::Permissions());
}

// A lock that cannot be made is told as what it is, with the file and the
// reason, not as a copy that is running.
TEST_F(SingleInstanceTest, ALockThatCannotBeMadeIsAFailureWithItsReason)
{
    // A temp folder that is a plain file: no runtime folder can be made in it.
    QFile notAFolder(folder.filePath(QStringLiteral("tmp")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    withoutRuntimeDir(notAFolder.fileName());

    SingleInstance instance(QStringLiteral("qmxv217b"));
    EXPECT_EQ(instance.acquire(), Outcome::Failed);
    EXPECT_EQ(
        instance.failureText(),
        QStringLiteral("Cannot create the lock file qmxv217b.lock: there is no private runtime "
                       "folder (XDG_RUNTIME_DIR, else %1/runtime-%2, must be a folder of the "
                       "user's own with mode 0700).")
            .arg(notAFolder.fileName(), userName()));
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

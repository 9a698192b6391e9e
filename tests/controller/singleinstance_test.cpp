#include "controller/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8());
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }
    QTemporaryDir folder;
};

TEST_F(SingleInstanceTest, ASecondCopyIsRefused)
{
    SingleInstance first(QStringLiteral("qmxv217b"));
    ASSERT_TRUE(first.acquire());
    EXPECT_EQ(first.lockPath(), QDir(folder.path()).filePath(QStringLiteral("qmxv217b.lock")));
    SingleInstance second(QStringLiteral("qmxv217b"));
    EXPECT_FALSE(second.acquire());
}

TEST_F(SingleInstanceTest, TheLockIsFreeAgainAfterTheFirstCopyEnds)
{
    {
        SingleInstance first(QStringLiteral("qmxv217b"));
        ASSERT_TRUE(first.acquire());
    }
    SingleInstance next(QStringLiteral("qmxv217b"));
    EXPECT_TRUE(next.acquire());
}

TEST_F(SingleInstanceTest, TheLockOfADeadCopyIsTakenOver)
{
    // A lock file left by a process that no longer exists.
    QFile stale(QDir(folder.path()).filePath(QStringLiteral("qmxv217b.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\nqmxv217\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance next(QStringLiteral("qmxv217b"));
    EXPECT_TRUE(next.acquire());
}

} // namespace

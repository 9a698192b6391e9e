// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folders.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const QByteArray& value) : m_name(name), m_saved(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_saved.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, m_saved);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    QByteArray m_saved;
};

TEST(Folders, TheConfigurationAndPortFoldersFollowAnAbsoluteXdgConfigHome)
{
    const ScopedVariable config("XDG_CONFIG_HOME", "/var/tmp/config");
    EXPECT_EQ(ConfigFolder(), QStringLiteral("/var/tmp/config/qmx-v217"));
    EXPECT_EQ(PortFolder(), QStringLiteral("/var/tmp/config/qmx-v217/ports"));
}

TEST(Folders, AnEmptyOrRelativeXdgConfigHomeIsIgnored)
{
    for (const char* ignored : {"", "relative/config", "./config", "~/config"}) {
        const ScopedVariable config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(ConfigFolder(), QDir::homePath() + QStringLiteral("/.config/qmx-v217"))
            << ignored;
        EXPECT_EQ(PortFolder(), QDir::homePath() + QStringLiteral("/.config/qmx-v217/ports"))
            << ignored;
    }
}

TEST(Folders, TheStateFolderFollowsAnAbsoluteXdgStateHome)
{
    const ScopedVariable state("XDG_STATE_HOME", "/var/tmp/state");
    EXPECT_EQ(StateFolder(), QStringLiteral("/var/tmp/state/qmx-v217"));
}

TEST(Folders, AnEmptyOrRelativeXdgStateHomeIsIgnored)
{
    for (const char* ignored : {"", "relative/state", "./state", "~/state"}) {
        const ScopedVariable state("XDG_STATE_HOME", ignored);
        EXPECT_EQ(StateFolder(), QDir::homePath() + QStringLiteral("/.local/state/qmx-v217"))
            << ignored;
    }
}

TEST(Folders, TheRuntimeFolderIsTheUsersPrivateOne)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    ASSERT_TRUE(QFile::setPermissions(
        runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const ScopedVariable variable("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    EXPECT_EQ(RuntimeFolder(), runtime.path());
}

// Without a private XDG_RUNTIME_DIR (unset, open to others, or a plain
// file) the lock's folder is the state folder, made readable by the user
// alone, never one in the shared temp folder.
TEST(Folders, TheRuntimeFolderIsNeverTheSharedTempFolder)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const ScopedVariable tmp("TMPDIR", scratch.path().toUtf8());
    const QString state = scratch.filePath(QStringLiteral("state"));
    const ScopedVariable stateHome("XDG_STATE_HOME", state.toUtf8());
    const QString open = scratch.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(open));
    QFile notAFolder(scratch.filePath(QStringLiteral("file")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    for (const QString& runtime : {QString(), open, notAFolder.fileName()}) {
        const ScopedVariable variable("XDG_RUNTIME_DIR", runtime.toUtf8());
        EXPECT_EQ(RuntimeFolder(), state + QStringLiteral("/qmx-v217")) << runtime.toStdString();
    }
    EXPECT_EQ(RuntimeFallbackFolder(), state + QStringLiteral("/qmx-v217"));
    EXPECT_EQ(QFile::permissions(state) & 0x0FF, 0);
}

} // namespace

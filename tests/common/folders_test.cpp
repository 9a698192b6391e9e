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

TEST(Folders, TheRuntimeFolderIsNeverTheSharedTempFolder)
{
    // A temp folder that is a plain file: no private folder can be made in it.
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    QFile notAFolder(scratch.filePath(QStringLiteral("tmp")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const ScopedVariable tmp("TMPDIR", notAFolder.fileName().toUtf8());
    const ScopedVariable variable("XDG_RUNTIME_DIR", "");
    EXPECT_TRUE(RuntimeFolder().isEmpty());
    EXPECT_TRUE(
        RuntimeFallbackFolder().startsWith(notAFolder.fileName() + QStringLiteral("/runtime-")));
}

} // namespace

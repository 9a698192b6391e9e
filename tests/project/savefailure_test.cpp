// SPDX-License-Identifier: GPL-3.0-or-later
#include "projectfixture.h"
#include "support/stranger.h"

#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Makes a folder refuse new entries, or a file refuse writes, for as long as
// it lives: read-only permissions, or, for root (who ignores them), the
// immutable attribute.
class Locked
{
public:
    explicit Locked(const QString& path)
        : m_path(path), m_folder(QFileInfo(path).isDir()), m_permissions(QFile::permissions(path))
    {
        QFile::setPermissions(path, m_folder ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                             : QFileDevice::ReadOwner);
        if (refuses())
            return;
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | (m_folder ? O_DIRECTORY : 0));
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~Locked()
    {
        if (m_immutable) {
            int flags = 0;
            if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
        }
        if (m_fd >= 0)
            ::close(m_fd);
        QFile::setPermissions(m_path, m_permissions);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

    [[nodiscard]] bool refuses() const
    {
        if (!m_folder)
            return !QFile(m_path).open(QIODevice::WriteOnly | QIODevice::Append);
        QFile probe(QDir(m_path).filePath(QStringLiteral("probe")));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.close();
        probe.remove();
        return false;
    }

private:
    QString m_path;
    bool m_folder;
    QFileDevice::Permissions m_permissions;
    int m_fd = -1;
    bool m_immutable = false;
};

// Files may grow to a few bytes only while it lives; a longer write stops
// half-way with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    [[nodiscard]] bool set() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

class SaveFailure : public ProjectTest
{
protected:
    // A project saved earlier, its name in the caption, and new changes.
    void saveEarlierProject(const QString& target)
    {
        rig.core.OpenTheProjectFile(golden(QStringLiteral("empty.iom")));
        save(target);
        ASSERT_TRUE(rig.view.boxes.isEmpty());
        earlier = bytes(target);
        fillTwoTimers(rig.core);
        rig.core.project().setChangeCount(2);
    }
    void expectNothingChanged(const QString& target)
    {
        ASSERT_EQ(rig.view.boxes.size(), 1);
        EXPECT_EQ(rig.view.boxes[0].kind, QStringLiteral("Failure"));
        EXPECT_EQ(rig.view.boxes[0].text, QStringLiteral("Cannot create file ") + target + ".");
        EXPECT_EQ(bytes(target), earlier);
        EXPECT_EQ(rig.core.project().ProjectFileName(), target);
        EXPECT_EQ(rig.view.caption,
                  QStringLiteral("QMX V217 v140703<") + QFileInfo(target).fileName() + ">");
        EXPECT_EQ(rig.core.project().ChangeCount(), 2);
        // No temporary file is left behind.
        EXPECT_EQ(QDir(QFileInfo(target).path()).entryList(QDir::Files),
                  QStringList{QFileInfo(target).fileName()});
    }

    QByteArray earlier;
};

// A folder that takes no new file, holding a file that may be written: the
// file is overwritten in place, keeping its mode.
TEST_F(SaveFailure, AFolderWithoutWriteAccessIsSavedInPlace)
{
    const QString target = file(QStringLiteral("kept.iom"));
    saveEarlierProject(target);
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0604), 0);
    {
        Locked folder(path(QStringLiteral("files")));
        if (!folder.refuses())
            GTEST_SKIP() << "no way to make a folder read-only here";
        save(target);
    }
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(bytes(target), bytes(golden(QStringLiteral("twotimers.iom"))));
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_EQ(QDir(path(QStringLiteral("files"))).entryList(QDir::Files),
              QStringList{QStringLiteral("kept.iom")});
}

TEST_F(SaveFailure, AReadOnlyFileInAFolderWithoutWriteAccess)
{
    const QString target = file(QStringLiteral("kept.iom"));
    saveEarlierProject(target);
    {
        Locked file(target);
        Locked folder(path(QStringLiteral("files")));
        if (!file.refuses() || !folder.refuses())
            GTEST_SKIP() << "no way to make a file read-only here";
        save(target);
    }
    expectNothingChanged(target);
}

// Written in place, a write that stops half-way puts the old content back.
TEST_F(SaveFailure, AWriteInPlaceThatStopsHalfWay)
{
    const QString target = file(QStringLiteral("kept.iom"));
    saveEarlierProject(target);
    {
        Locked folder(path(QStringLiteral("files")));
        if (!folder.refuses())
            GTEST_SKIP() << "no way to make a folder read-only here";
        FileSizeLimit limit(static_cast<rlim_t>(earlier.size()) + 20);
        ASSERT_TRUE(limit.set());
        save(target);
    }
    expectNothingChanged(target);
}

// A link that another user planted in a shared folder such as /tmp is not
// followed, for a project or a log; the save fails as when the kernel
// refuses to follow it.
TEST_F(SaveFailure, ALinkPlantedInASharedFolder)
{
    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can make a link of another user";
    const QString shared = path(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString notes = file(QStringLiteral("notes.txt"));
    writeBytes(notes, "notes\r\n");
    for (const char* name : {"planted.iom", "planted.txt"}) {
        const QString link = shared + QLatin1Char('/') + QLatin1String(name);
        ASSERT_TRUE(QFile::link(notes, link));
        ASSERT_TRUE(stranger::giveAway(link));
    }

    fillTwoTimers(rig.core);
    rig.core.project().setChangeCount(1);
    save(shared + QStringLiteral("/planted.iom"));
    rig.core.logger().setLogList(QStringList{QStringLiteral("a log line")});
    rig.view.files.push_back(shared + QStringLiteral("/planted.txt"));
    run([this] { rig.core.LogSaveButtClick(); });

    EXPECT_EQ(rig.view.boxTexts(),
              (QStringList{QStringLiteral("Cannot create file ") + shared + "/planted.iom.",
                           QStringLiteral("Cannot create file ") + shared + "/planted.txt."}));
    EXPECT_EQ(bytes(notes), QByteArray("notes\r\n"));
    EXPECT_TRUE(rig.core.project().ProjectFileName().isEmpty());
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
    EXPECT_EQ(rig.core.logger().LogList(), QStringList{QStringLiteral("a log line")});
}

TEST_F(SaveFailure, AWriteThatStopsHalfWay)
{
    const QString target = file(QStringLiteral("kept.iom"));
    saveEarlierProject(target);
    ASSERT_GT(earlier.size(), 0);
    {
        // Room for the earlier file's size, not for the new project.
        FileSizeLimit limit(static_cast<rlim_t>(earlier.size()) + 20);
        ASSERT_TRUE(limit.set());
        save(target);
    }
    expectNothingChanged(target);

    // Once there is room again the same save goes through.
    save(target);
    EXPECT_EQ(bytes(target), bytes(golden(QStringLiteral("twotimers.iom"))));
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
}

TEST_F(SaveFailure, APathThatCannotBeAFile)
{
    const QString target = file(QStringLiteral("kept.iom"));
    saveEarlierProject(target);
    const QString impossible = target + QStringLiteral("/inside.iom");
    save(impossible);
    ASSERT_EQ(rig.view.boxTexts(),
              QStringList{QStringLiteral("Cannot create file ") + impossible + "."});
    EXPECT_EQ(bytes(target), earlier);
    EXPECT_EQ(rig.core.project().ProjectFileName(), target);
    EXPECT_EQ(rig.core.project().ChangeCount(), 2);
}

} // namespace

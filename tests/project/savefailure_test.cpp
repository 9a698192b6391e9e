#include "projectfixture.h"

#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Makes a folder refuse new entries for as long as it lives: read-only
// permissions, or, for root (who ignores them), the immutable attribute.
class LockedFolder
{
public:
    explicit LockedFolder(const QString& folder) : m_folder(folder)
    {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (refusesNewFiles())
            return;
        m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~LockedFolder()
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
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    [[nodiscard]] bool refusesNewFiles() const
    {
        QFile probe(QDir(m_folder).filePath(QStringLiteral("probe")));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.close();
        probe.remove();
        return false;
    }

private:
    QString m_folder;
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
        rig.core.ChangeCount = 2;
    }
    void expectNothingChanged(const QString& target)
    {
        ASSERT_EQ(rig.view.boxes.size(), 1);
        EXPECT_EQ(rig.view.boxes[0].kind, QStringLiteral("Failure"));
        EXPECT_EQ(rig.view.boxes[0].text, QStringLiteral("Cannot create file ") + target + ".");
        EXPECT_EQ(bytes(target), earlier);
        EXPECT_EQ(rig.core.ProjectFileName, target);
        EXPECT_EQ(rig.view.caption,
                  QStringLiteral("QMX V217 v140703<") + QFileInfo(target).fileName() + ">");
        EXPECT_EQ(rig.core.ChangeCount, 2);
        // No temporary file is left behind.
        EXPECT_EQ(QDir(QFileInfo(target).path()).entryList(QDir::Files),
                  QStringList{QFileInfo(target).fileName()});
    }

    QByteArray earlier;
};

TEST_F(SaveFailure, AFolderWithoutWriteAccess)
{
    const QString target = file(QStringLiteral("kept.iom"));
    saveEarlierProject(target);
    {
        LockedFolder locked(path(QStringLiteral("files")));
        if (!locked.refusesNewFiles())
            GTEST_SKIP() << "no way to make a folder read-only here";
        save(target);
    }
    expectNothingChanged(target);
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
    EXPECT_EQ(rig.core.ChangeCount, 0);
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
    EXPECT_EQ(rig.core.ProjectFileName, target);
    EXPECT_EQ(rig.core.ChangeCount, 2);
}

} // namespace

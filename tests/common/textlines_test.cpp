// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/conversions.h"
#include "common/savefile.h"
#include "common/textlines.h"
#include "support/stranger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void setMode(const QString& path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

mode_t modeOf(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QString failureOf(const QString& path, const QStringList& lines)
{
    try {
        WriteTextLines(path, lines);
    } catch (const V217Error& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(TextLines, AnyLineEndIsAccepted)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\nb"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\rb\r"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\nb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\n"), (QStringList{"a", ""}));
    EXPECT_TRUE(SplitTextLines("").isEmpty());
}

TEST(TextLines, WrittenWithCrLfAndReadBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.txt"));
    WriteTextLines(path, {QStringLiteral("one"), QString(), QStringLiteral("three")});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("one\r\n\r\nthree\r\n"));
    EXPECT_EQ(ReadTextLines(path), (QStringList{"one", "", "three"}));
}

TEST(TextLines, FailuresCarryTheExactMessage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none/x.txt"));
    try {
        WriteTextLines(missing, {QStringLiteral("a")});
        FAIL();
    } catch (const V217Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot create file ") + missing);
    }
    try {
        (void)ReadTextLines(missing);
        FAIL();
    } catch (const V217Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file ") + missing);
    }
}

// The kernel's rule for links in shared folders (fs.protected_symlinks): in a
// world-writable sticky folder such as /tmp, a link is followed only when it
// belongs to the user or to the folder's owner. A save keeps that rule
// although it follows the link itself.
TEST(TextLines, LinksInASharedFolderAreFollowedAsTheKernelWould)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    setMode(shared, 01777);
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    WriteTextLines(notes, {QStringLiteral("notes")});

    const QString own = shared + QStringLiteral("/own.txt");
    ASSERT_TRUE(QFile::link(notes, own));
    WriteTextLines(own, {QStringLiteral("mine")});
    EXPECT_EQ(contentOf(notes), QByteArray("mine\r\n"));
    EXPECT_TRUE(QFileInfo(own).isSymLink());

    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can make a link of another user";
    const QString planted = shared + QStringLiteral("/planted.txt");
    ASSERT_TRUE(QFile::link(notes, planted));
    ASSERT_TRUE(stranger::giveAway(planted));
    EXPECT_EQ(failureOf(planted, {QStringLiteral("*")}),
              QStringLiteral("Cannot create file ") + planted);
    EXPECT_EQ(contentOf(notes), QByteArray("mine\r\n"));
    // Reached through a link of the user's own, it is refused all the same.
    const QString chain = dir.filePath(QStringLiteral("chain.txt"));
    ASSERT_TRUE(QFile::link(planted, chain));
    EXPECT_EQ(failureOf(chain, {QStringLiteral("*")}),
              QStringLiteral("Cannot create file ") + chain);
    EXPECT_EQ(contentOf(notes), QByteArray("mine\r\n"));

    // The folder's owner's links are followed, and so is anyone's link in a
    // folder that is not sticky.
    ASSERT_TRUE(stranger::giveAway(shared));
    WriteTextLines(planted, {QStringLiteral("owner")});
    EXPECT_EQ(contentOf(notes), QByteArray("owner\r\n"));
    ASSERT_TRUE(stranger::giveAway(shared, ::geteuid()));
    setMode(shared, 0777);
    WriteTextLines(planted, {QStringLiteral("open")});
    EXPECT_EQ(contentOf(notes), QByteArray("open\r\n"));
}

// The same rule holds for every link on the way, not only the last: a link
// to a folder of the user's, planted in a shared folder, sends no save into
// that folder, however the path reaches it.
TEST(TextLines, ALinkToAFolderInASharedFolderIsFollowedAsTheKernelWould)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    const QString home = dir.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/sub")));
    setMode(shared, 01777);
    const QString own = shared + QStringLiteral("/own");
    ASSERT_TRUE(QFile::link(home, own));
    WriteTextLines(own + QStringLiteral("/x.txt"), {QStringLiteral("mine")});
    EXPECT_EQ(contentOf(home + QStringLiteral("/x.txt")), QByteArray("mine\r\n"));

    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can make a link of another user";
    const QString planted = shared + QStringLiteral("/d");
    ASSERT_TRUE(QFile::link(home, planted));
    ASSERT_TRUE(stranger::giveAway(planted));
    const QString via = dir.filePath(QStringLiteral("via"));
    ASSERT_TRUE(QFile::link(planted, via));
    const QString up = dir.filePath(QStringLiteral("up"));
    ASSERT_TRUE(QFile::link(QStringLiteral("shared/d/sub/.."), up));
    const QString chain = dir.filePath(QStringLiteral("chain.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("via/sub/y.txt"), chain));
    // Through the link itself, deeper down, through a link of the user's own
    // to it, back up with "..", and as the target of another link.
    for (const QString& path :
         {planted + QStringLiteral("/x.txt"), planted + QStringLiteral("/sub/y.txt"),
          via + QStringLiteral("/x.txt"), up + QStringLiteral("/x.txt"), chain}) {
        EXPECT_EQ(FollowSaveLinks(path), QString()) << path.toStdString();
        EXPECT_EQ(failureOf(path, {QStringLiteral("*")}),
                  QStringLiteral("Cannot create file ") + path);
    }
    EXPECT_EQ(contentOf(home + QStringLiteral("/x.txt")), QByteArray("mine\r\n"));
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/sub/y.txt")));

    // The folder's owner's link is followed.
    ASSERT_TRUE(stranger::giveAway(shared));
    WriteTextLines(via + QStringLiteral("/x.txt"), {QStringLiteral("owner")});
    EXPECT_EQ(contentOf(home + QStringLiteral("/x.txt")), QByteArray("owner\r\n"));
}

// The new file takes the place of the old one with its owner and mode.
TEST(TextLines, ASaveKeepsTheOwnerAndTheMode)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.txt"));
    WriteTextLines(path, {QStringLiteral("old")});
    setMode(path, 02640);
    WriteTextLines(path, {QStringLiteral("newer")});
    EXPECT_EQ(modeOf(path), 02640u);
    EXPECT_EQ(contentOf(path), QByteArray("newer\r\n"));

    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can make a file of another user";
    ASSERT_TRUE(stranger::giveAway(path));
    WriteTextLines(path, {QStringLiteral("theirs")});
    EXPECT_EQ(stranger::ownerOf(path), stranger::kUid);
    EXPECT_EQ(modeOf(path), 02640u);
    EXPECT_EQ(contentOf(path), QByteArray("theirs\r\n"));
}

// Runs save in a child process as the stranger, who is no root and so has
// the kernel clear set-ID bits on every write; true when the save succeeded.
bool savedAsStranger(const QString& path, const QStringList& lines)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(stranger::kUid) != 0 ||
            ::setuid(stranger::kUid) != 0)
            ::_exit(2);
        ::_exit(failureOf(path, lines).isEmpty() ? 0 : 1);
    }
    int status = -1;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The owner of a set-user-ID, set-group-ID program saves it, replaced through
// a new file or, in a folder that takes no new file, written in place: the
// bits stay. Root saves as the stranger, in a child process; any other user
// as themselves.
TEST(TextLines, ASaveByANormalUserKeepsTheSetIdBits)
{
    const bool root = stranger::canGiveAway();
    QTemporaryDir dir;
    if (root) {
        ASSERT_TRUE(stranger::giveAway(dir.path()));
    }
    const QString closed = dir.filePath(QStringLiteral("closed"));
    ASSERT_TRUE(QDir().mkdir(closed));
    for (const QString& path :
         {dir.filePath(QStringLiteral("replaced.sh")), closed + QStringLiteral("/in-place.sh")}) {
        SCOPED_TRACE(path.toStdString());
        setMode(closed, 0755);
        WriteTextLines(path, {QStringLiteral("old")});
        if (root) {
            ASSERT_TRUE(stranger::giveAway(path));
        }
        setMode(path, 06755);
        setMode(closed, 0555);
        EXPECT_TRUE(root ? savedAsStranger(path, {QStringLiteral("new")})
                         : failureOf(path, {QStringLiteral("new")}).isEmpty());
        EXPECT_EQ(contentOf(path), QByteArray("new\r\n"));
        EXPECT_EQ(modeOf(path), 06755u);
        EXPECT_EQ(stranger::ownerOf(path), root ? stranger::kUid : ::geteuid());
    }
    EXPECT_EQ(QDir(closed).entryList(QDir::Files), QStringList{QStringLiteral("in-place.sh")});
    setMode(closed, 0755);
}

// Saved by a user who could not give a new file the old one's owner (a file
// of someone else that the user may write), the file is written in place.
TEST(TextLines, AnotherUsersFileIsWrittenInPlace)
{
    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can save as another user";
    QTemporaryDir dir;
    ASSERT_TRUE(stranger::giveAway(dir.path()));
    const QString path = dir.filePath(QStringLiteral("x.txt"));
    WriteTextLines(path, {QStringLiteral("root's")});
    setMode(path, 0666);
    // The stranger saves in a child process; the tests keep their own user.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(stranger::kUid) != 0 || ::setuid(stranger::kUid) != 0)
            ::_exit(2);
        try {
            WriteTextLines(path, {QStringLiteral("stranger's")});
        } catch (const V217Error&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(contentOf(path), QByteArray("stranger's\r\n"));
    EXPECT_EQ(stranger::ownerOf(path), ::geteuid());
    EXPECT_EQ(modeOf(path), 0666u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("x.txt")});
}

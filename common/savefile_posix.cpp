// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/savefile.h"

#include "common/posixio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kernel gives up after as many links in a row (ELOOP).
constexpr int kMaxLinks = 40;

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// The rule of fs.protected_symlinks for a link in folder, which
// fs.protected_regular applies to a file there too.
bool mayFollow(const struct stat& link, const QString& folder)
{
    struct stat dir = {};
    if (::stat(encoded(folder).constData(), &dir) != 0)
        return false;
    const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

QString linkTarget(const QString& link)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(encoded(link).constData(), target.data(), target.size());
    if (n <= 0 || n >= target.size())
        return {};
    target.truncate(n);
    return QFile::decodeName(target);
}

// The same rule for every link among the folders of path, as the kernel
// applies it to each link it meets on the way: a link to a folder planted in
// /tmp would otherwise send a save into a folder of the user's. The folders
// are walked one part at a time from the root, a link's target taking the
// place of the link; links counts the links met so far.
bool mayFollowFolders(const QString& path, int& links)
{
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString walked;
    while (!parts.isEmpty()) {
        const QString part = parts.takeFirst();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            walked.truncate(std::max<qsizetype>(walked.lastIndexOf(QLatin1Char('/')), 0));
            continue;
        }
        const QString current = walked + QLatin1Char('/') + part;
        struct stat st = {};
        // A missing part has no links beyond it.
        if (::lstat(encoded(current).constData(), &st) != 0)
            return true;
        if (!S_ISLNK(st.st_mode)) {
            walked = current;
            continue;
        }
        if (++links > kMaxLinks || !mayFollow(st, walked.isEmpty() ? QStringLiteral("/") : walked))
            return false;
        const QString target = linkTarget(current);
        if (target.isEmpty())
            return false;
        if (QDir::isAbsolutePath(target))
            walked.clear();
        parts = target.split(QLatin1Char('/'), Qt::SkipEmptyParts) + parts;
    }
    return true;
}

bool readWhole(int fd, QByteArray& content)
{
    char chunk[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        content.append(chunk, n);
        offset += n;
    }
}

// A new file beside path; O_EXCL never opens a file or a link already there.
int createBeside(const QString& path, mode_t mode, QByteArray& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = encoded(path) + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The old file's owner goes on first, while the file is still empty and
// readable by the user alone.
bool giveOwner(int fd, const struct stat& old)
{
    struct stat made = {};
    if (::fstat(fd, &made) != 0)
        return false;
    return (made.st_uid == old.st_uid && made.st_gid == old.st_gid) ||
           ::fchown(fd, old.st_uid, old.st_gid) == 0;
}

// The mode goes on last, after the bytes are written and flushed: the kernel
// clears the set-user-ID and set-group-ID bits of a file that a user without
// CAP_FSETID writes to (and when its owner changes), so a mode given before
// would lose them. It drops a set-group-ID bit it does not allow instead of
// failing.
bool giveMode(int fd, mode_t mode)
{
    struct stat made = {};
    return ::fchmod(fd, mode & 07777) == 0 && ::fstat(fd, &made) == 0 &&
           (made.st_mode & 07777) == (mode & 07777);
}

// The new bytes go over the old ones from the start and the file is cut to
// length only afterwards, so putting the old content back after a failed
// write never needs more room than the file already had.
bool overwriteInPlace(const QByteArray& name, const QByteArray& bytes, std::optional<mode_t> mode)
{
    const int fd = ::open(name.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st = {};
    QByteArray old;
    bool done = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                (!mode || ::fchmod(fd, *mode) == 0) && readWhole(fd, old);
    if (done) {
        done = WriteWholeAt(fd, bytes, 0).complete() && ::ftruncate(fd, bytes.size()) == 0 &&
               ::fsync(fd) == 0;
        if (!done)
            (void)(WriteWholeAt(fd, old, 0).complete() && ::ftruncate(fd, old.size()) == 0 &&
                   ::fsync(fd) == 0);
        // The write cleared the set-ID bits; their owner may put them back.
        if (!mode)
            (void)::fchmod(fd, st.st_mode & 07777);
    }
    ::close(fd);
    return done;
}

} // namespace

QString FollowSaveLinks(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int links = 0;; ++links) {
        const QString folder = QFileInfo(current).path();
        int folderLinks = links;
        if (!mayFollowFolders(folder, folderLinks))
            return {};
        struct stat st = {};
        if (::lstat(encoded(current).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        if (links == kMaxLinks || !mayFollow(st, folder))
            return {};
        const QString target = linkTarget(current);
        if (target.isEmpty())
            return {};
        current = QDir::isAbsolutePath(target) ? target : folder + QLatin1Char('/') + target;
    }
}

bool IsLinkOrOthersFile(const QString& path)
{
    struct stat st = {};
    return ::lstat(encoded(path).constData(), &st) == 0 &&
           (S_ISLNK(st.st_mode) || st.st_uid != ::geteuid());
}

int OpenAppendFile(const QString& path, QString& problem)
{
    const QString target = FollowSaveLinks(path);
    if (target.isEmpty()) {
        problem = QStringLiteral("it leads through a link of another user in a shared folder, "
                                 "which is not followed");
        return -1;
    }
    // O_NOFOLLOW: a link put in the file's place since it was looked at.
    const int fd = ::open(encoded(target).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        problem = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !mayFollow(st, QFileInfo(target).path())) {
        ::close(fd);
        problem = QStringLiteral("%1 is a file of another user in a shared folder").arg(target);
        return -1;
    }
    return fd;
}

namespace {

// mode: the mode of the new file; none: the old file's, or the default
// under the umask for a new one.
bool replace(const QString& path, const QByteArray& bytes, std::optional<mode_t> mode)
{
    const QByteArray name = encoded(path);
    struct stat old = {};
    const bool found = ::lstat(name.constData(), &old) == 0;
    // A folder or a device is never replaced by a file.
    if (found && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
        return false;
    const bool exists = found && S_ISREG(old.st_mode);
    if (exists && ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0)
        return false;

    QByteArray temporary;
    // Only the user may read it until it has the old file's owner and mode.
    const int fd = createBeside(path, exists || mode ? 0600 : 0666, temporary);
    if (fd < 0)
        return exists && overwriteInPlace(name, bytes, mode);
    if (exists && !giveOwner(fd, old)) {
        ::close(fd);
        ::unlink(temporary.constData());
        return overwriteInPlace(name, bytes, mode);
    }
    const bool written = WriteWholeAt(fd, bytes, 0).complete() && ::fsync(fd) == 0;
    if (written && exists && !giveMode(fd, mode.value_or(old.st_mode))) {
        ::close(fd);
        ::unlink(temporary.constData());
        return overwriteInPlace(name, bytes, mode);
    }
    if (::close(fd) == 0 && written && ::rename(temporary.constData(), name.constData()) == 0)
        return true;
    ::unlink(temporary.constData());
    return false;
}

} // namespace

bool ReplaceFile(const QString& path, const QByteArray& bytes)
{
    return replace(path, bytes, std::nullopt);
}

bool ReplacePrivateFile(const QString& path, const QByteArray& bytes)
{
    return replace(path, bytes, 0600);
}

void IgnoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

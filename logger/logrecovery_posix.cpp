// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/logrecovery.h"

#include "common/folders.h"
#include "common/posixio.h"
#include "common/textlines.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The names a copy may have: log-recovery.txt, then log-recovery-2.txt and
// on for the runs of further controllers of the same user at once.
constexpr int kNames = 9;

QByteArray fileName(int index)
{
    if (index == 0)
        return QFile::encodeName(LogRecovery::kFileName);
    return QFile::encodeName(QStringLiteral("log-recovery-%1.txt").arg(index + 1));
}

// Creates the missing folders of path one by one, each readable by the user
// alone, as the XDG rules ask for the folders they name.
void makeFolders(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash != -1; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0700);
    ::mkdir(path.constData(), 0700);
}

// A regular file or folder of this user that no one else may write into.
bool ownedByUser(int fd, bool folder)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid())
        return false;
    if (folder)
        return S_ISDIR(st.st_mode) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    return S_ISREG(st.st_mode);
}

QByteArray lineBytes(const QString& line)
{
    return line.toUtf8() + "\r\n";
}

// The lines of a copy that no running controller holds, locked for this
// one; none for an empty copy.
std::optional<LogRecovery::LeftBehind> readLeftBehind(int fd)
{
    struct stat st;
    if (!ownedByUser(fd, false) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0)
        return std::nullopt;
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    LogRecovery::LeftBehind copy{SplitTextLines(bytes), QDateTime::fromSecsSinceEpoch(st.st_mtime)};
    if (copy.lines.isEmpty())
        return std::nullopt;
    return copy;
}

} // namespace

LogRecovery::~LogRecovery()
{
    release();
}

QString LogRecovery::folder() const
{
    return m_folder.isEmpty() ? StateFolder() : m_folder;
}

int LogRecovery::openFolder(bool create) const
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(folder()));
    if (create)
        makeFolders(path);
    const int dir = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0 && !ownedByUser(dir, true)) {
        ::close(dir);
        return -1;
    }
    return dir;
}

void LogRecovery::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_writing = false;
}

bool LogRecovery::begin(const QStringList& lines)
{
    // The copy this controller held belongs to lines the user has been
    // asked about; it makes way for the new run's.
    remove();
    const int dir = openFolder(true);
    if (dir < 0)
        return false;
    // The first name no other controller holds. The lock comes before the
    // truncation: a copy held by another controller stays whole.
    int fd = -1;
    int index = 0;
    for (; index < kNames; ++index) {
        fd = ::openat(dir, fileName(index).constData(),
                      O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            break;
        if (!ownedByUser(fd, false)) {
            ::close(fd);
            fd = -1;
            break;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        fd = -1;
        if (!held)
            break;
    }
    ::close(dir);
    if (fd < 0)
        return false;
    if (::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_index = index;
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += lineBytes(line);
    m_writing = WriteWhole(m_fd, bytes).complete();
    return m_writing;
}

bool LogRecovery::append(const QString& line)
{
    if (!m_writing)
        return true;
    m_writing = WriteWhole(m_fd, lineBytes(line)).complete();
    return m_writing;
}

void LogRecovery::remove()
{
    if (m_fd < 0)
        return;
    // Only the file this controller holds: the name may have been replaced
    // since.
    const int dir = openFolder(false);
    if (dir >= 0) {
        struct stat named;
        struct stat held;
        if (::fstatat(dir, fileName(m_index).constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            ::fstat(m_fd, &held) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlinkat(dir, fileName(m_index).constData(), 0);
        ::close(dir);
    }
    release();
}

std::optional<LogRecovery::LeftBehind> LogRecovery::takeOver()
{
    release();
    const int dir = openFolder(false);
    if (dir < 0)
        return std::nullopt;
    std::optional<LeftBehind> copy;
    for (int index = 0; index < kNames && !copy; ++index) {
        const int fd =
            ::openat(dir, fileName(index).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        copy = readLeftBehind(fd);
        if (copy) {
            m_fd = fd;
            m_index = index;
        } else {
            ::close(fd);
        }
    }
    ::close(dir);
    return copy;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/singleinstance.h"

#include "common/folders.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

SingleInstance::SingleInstance(const QString& name) : m_name(name + QStringLiteral(".lock"))
{
    const QString folder = RuntimeFolder();
    if (folder.isEmpty())
        return;
    m_path = QDir(folder).filePath(m_name);
    m_lock = std::make_unique<QLockFile>(m_path);
    // Only a lock whose process is gone counts as stale, however old it is.
    m_lock->setStaleLockTime(0);
}

SingleInstance::Outcome SingleInstance::acquire()
{
    if (!m_lock) {
        m_reason = QStringLiteral("there is no private folder for it (XDG_RUNTIME_DIR must be a "
                                  "folder of the user's own with mode 0700, else %1 one of the "
                                  "user's own that nobody else may write into)")
                       .arg(RuntimeFallbackFolder());
        return Outcome::Failed;
    }
    errno = 0;
    if (m_lock->tryLock(0))
        return Outcome::Acquired;
    // A lock file that cannot be created or written leaves the system's
    // reason in errno.
    const int error = errno;
    if (m_lock->error() == QLockFile::LockFailedError)
        return heldLock();
    m_reason =
        error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("unknown error");
    return Outcome::Failed;
}

// Something is at the lock's path that is not a stale lock: a running copy
// only when it is a lock file that names its process; anything else is in
// the way and is said as what it is, for the user to remove.
SingleInstance::Outcome SingleInstance::heldLock()
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(m_path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        m_reason = S_ISDIR(st.st_mode)
                       ? QStringLiteral("a folder of that name is in the way")
                       : QStringLiteral("something that is not a file is in the way");
        return Outcome::Failed;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->getLockInfo(&pid, &host, &application))
        return Outcome::AlreadyRunning;
    QFile file(m_path);
    const QString why = file.open(QIODevice::ReadOnly)
                            ? QStringLiteral("it names no process")
                            : QString::fromLocal8Bit(std::strerror(errno));
    m_reason = QStringLiteral("a lock file there cannot be read (%1); remove it if no copy of "
                              "the program is running")
                   .arg(why);
    return Outcome::Failed;
}

QString SingleInstance::failureText() const
{
    const QString file = m_path.isEmpty() ? m_name : m_path;
    return QStringLiteral("Cannot create the lock file %1: %2.").arg(file, m_reason);
}

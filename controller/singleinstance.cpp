// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/singleinstance.h"

#include "common/folders.h"

#include <QDir>

#include <cerrno>
#include <cstring>

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
        m_reason = QStringLiteral("there is no private runtime folder (XDG_RUNTIME_DIR, else %1, "
                                  "must be a folder of the user's own with mode 0700)")
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
        return Outcome::AlreadyRunning;
    m_reason =
        error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("unknown error");
    return Outcome::Failed;
}

QString SingleInstance::failureText() const
{
    const QString file = m_path.isEmpty() ? m_name : m_path;
    return QStringLiteral("Cannot create the lock file %1: %2.").arg(file, m_reason);
}

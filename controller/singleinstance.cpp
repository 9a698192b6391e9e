#include "controller/singleinstance.h"

#include <QDir>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {

// Where Qt makes the runtime folder when XDG_RUNTIME_DIR gives none.
QString fallbackRuntimeFolder()
{
    const passwd* user = getpwuid(geteuid());
    const QString name = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(geteuid());
    return QDir(QDir::tempPath()).filePath(QStringLiteral("runtime-") + name);
}

} // namespace

SingleInstance::SingleInstance(const QString& name) : m_name(name + QStringLiteral(".lock"))
{
    // Qt gives the runtime folder only when it belongs to the user and is
    // closed to everyone else; otherwise it gives nothing.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
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
                       .arg(fallbackRuntimeFolder());
        return Outcome::Failed;
    }
    if (m_lock->tryLock(0))
        return Outcome::Acquired;
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        return Outcome::AlreadyRunning;
    case QLockFile::PermissionError:
        m_reason = QStringLiteral("permission denied");
        break;
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        m_reason = QStringLiteral("the file cannot be created");
        break;
    }
    return Outcome::Failed;
}

QString SingleInstance::failureText() const
{
    const QString file = m_path.isEmpty() ? m_name : m_path;
    return QStringLiteral("Cannot create the lock file %1: %2.").arg(file, m_reason);
}

#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// The program runs once per user: a lock file named after the instance name
// in the user's runtime folder (else the temp folder). The lock of a copy
// that died is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString& name);
    // True when this is the only copy; the lock is then held until
    // destruction.
    [[nodiscard]] bool acquire();
    [[nodiscard]] QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

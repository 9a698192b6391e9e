// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// The program runs once per user: a lock file named after the instance name
// in the user's private runtime folder (XDG_RUNTIME_DIR, else the user's
// state folder). The lock of a copy that died is taken over. A shared folder
// is never used, so nobody else can hold the lock; a folder or an unreadable
// file at the lock's path is a failure that names it, not a running copy.
class SingleInstance
{
public:
    enum class Outcome
    {
        Acquired,       // this is the only copy; the lock is held until destruction
        AlreadyRunning, // a live copy holds the lock
        Failed,         // the lock cannot be made at all: see failureReason()
    };

    explicit SingleInstance(const QString& name);
    [[nodiscard]] Outcome acquire();
    // The lock file; empty when the user has no usable runtime folder.
    [[nodiscard]] QString lockPath() const { return m_path; }
    // After acquire() returned Failed: the lock file and why it could not be
    // made, for the user.
    [[nodiscard]] QString failureText() const;

private:
    [[nodiscard]] Outcome heldLock();

    QString m_name;
    QString m_path;
    QString m_reason;
    std::unique_ptr<QLockFile> m_lock;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// The safety copy of a log run. The run's lines live in LogList until the
// user saves them; a crash, a kill or a power cut would take them along. So
// while a run captures, every line it puts in LogList is also appended, with
// the CR LF the saved log gets, to one file in the user's state folder, and
// handed to the kernel at once. The file goes only when the lines are safe
// or the user chose to drop them; a file left behind is offered at the next
// start.
//
// The file is held open and locked (flock) from the start of a run until it
// is removed, so a second controller, in this process or another, never
// writes into it or removes it, and start-up never offers the copy of a run
// that is still going on. A run that finds the file held keeps its copy in
// the next free one of log-recovery-2.txt to log-recovery-9.txt beside it,
// and start-up offers any of them.
//
// Nothing here throws: a copy that cannot be written must never stop a run.
// Linux only: the folder and the file are opened without following links.
class LogRecovery
{
public:
    static inline const QString kFileName = QStringLiteral("log-recovery.txt");

    LogRecovery() = default;
    LogRecovery(const LogRecovery&) = delete;
    LogRecovery& operator=(const LogRecovery&) = delete;
    ~LogRecovery();

    // Empty: StateFolder() of common/folders.h.
    void setFolder(const QString& folder) { m_folder = folder; }
    [[nodiscard]] QString folder() const;

    // Replaces the copy with the first lines of a new run. False when no
    // copy can be kept for this run; the run goes on without one.
    bool begin(const QStringList& lines);
    // Appends one line of the running copy. False only for the first line
    // that could not be written; the copy then stops until the next begin,
    // so the caller reports a failure once.
    bool append(const QString& line);
    // Removes the copy this controller holds (the one it began or took over
    // from an earlier run); another's is left alone.
    void remove();

    struct LeftBehind
    {
        QStringList lines;
        QDateTime lastWritten;
    };
    // A copy that an earlier run left behind, not held by a running copy of
    // the program, and not empty; it is then held by this controller until
    // remove or the next begin.
    [[nodiscard]] std::optional<LeftBehind> takeOver();

private:
    [[nodiscard]] int openFolder(bool create) const;
    void release();

    QString m_folder;
    // The file held and locked, -1 when none, and which of the names it has.
    int m_fd = -1;
    int m_index = 0;
    // The running copy takes lines; false after a failed write.
    bool m_writing = false;
};

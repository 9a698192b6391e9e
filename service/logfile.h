// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

// The log file of a board: every line a log run captures is appended as it
// comes, with the CR LF of a saved log, and handed to the kernel at once, so
// `tail -f` shows it and a kill loses at most the line being written. Each
// line goes in whole or not at all: a write cut short (a full disk, the
// file-size limit) is cut back to the last whole line. While the file cannot
// be written the lines wait in memory, the oldest dropped past a bound, and
// are written as soon as the file takes them again: at the next line, every
// few seconds, or at a reopening. A fault is reported once through the
// failure callback with the system's reason, the recovery once through the
// resumed callback with the number of lines lost, if any.
namespace service {

class LogFile : public QObject
{
public:
    // How many lines wait in memory while the file cannot be written.
    static constexpr qsizetype kMaxWaiting = 10000;
    // How often a file that could not be written is tried again without
    // a new line.
    static constexpr std::chrono::seconds kRetryPeriod{5};

    LogFile(std::function<void(const QString& problem)> onFailure,
            std::function<void(const QString& note)> onResumed);
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void setPath(const QString& path);
    [[nodiscard]] const QString& path() const { return m_path; }

    // Closes the file, so that the next line goes to the file at the path
    // now: the one a log rotation made, after the old one was renamed or
    // removed (SIGHUP).
    void reopen();
    void append(const QString& line);
    // Lines captured but not yet written.
    [[nodiscard]] qsizetype waiting() const { return m_waiting.size(); }

private:
    void writeWaiting();
    void close();
    void fail(const QString& what, const QString& reason);

    QString m_path;
    int m_fd = -1;
    QList<QByteArray> m_waiting;
    qint64 m_lost = 0;
    bool m_failed = false;
    QTimer m_retry;
    std::function<void(const QString& problem)> m_onFailure;
    std::function<void(const QString& note)> m_onResumed;
};

} // namespace service

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

#include <functional>

// The log file of a board: every line a log run captures is appended as it
// comes, with the CR LF of a saved log, and handed to the kernel at once, so
// `tail -f` shows it and a kill loses at most the line being written. A file
// that cannot be written is reported once per opening through the failure
// callback; the run goes on in memory.
namespace service {

class LogFile
{
public:
    explicit LogFile(std::function<void(const QString& problem)> onFailure)
        : m_onFailure(std::move(onFailure))
    {
    }

    void setPath(const QString& path);
    [[nodiscard]] const QString& path() const { return m_path; }

    void append(const QString& line);

private:
    QString m_path;
    QFile m_file;
    bool m_failed = false;
    std::function<void(const QString& problem)> m_onFailure;
};

} // namespace service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/logfile.h"

#include "common/posixio.h"
#include "common/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace service {

namespace {

// One line, whole or not at all. A write the kernel cuts short (a full disk,
// the file-size limit) leaves the part it took: the file is cut back to where
// the line began, so a reader never sees half a line, and the line is written
// again in full later. errno holds the reason on failure.
bool writeWhole(int fd, const QByteArray& bytes)
{
    const off_t start = ::lseek(fd, 0, SEEK_END);
    const WriteOutcome outcome = WriteWhole(fd, bytes);
    if (outcome.complete())
        return true;
    if (outcome.written > 0 && start >= 0)
        (void)::ftruncate(fd, start);
    errno = outcome.error;
    return false;
}

} // namespace

LogFile::LogFile(std::function<void(const QString& problem)> onFailure,
                 std::function<void(const QString& note)> onResumed)
    : m_onFailure(std::move(onFailure)), m_onResumed(std::move(onResumed))
{
    m_retry.setInterval(kRetryPeriod);
    connect(&m_retry, &QTimer::timeout, this, &LogFile::writeWaiting);
}

LogFile::~LogFile()
{
    // A last try for lines still waiting, as at a stop.
    writeWaiting();
    close();
}

void LogFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void LogFile::setPath(const QString& path)
{
    if (path == m_path)
        return;
    close();
    m_path = path;
    // The lines still waiting belong to the log, wherever it now goes.
    writeWaiting();
}

void LogFile::reopen()
{
    close();
    writeWaiting();
}

void LogFile::append(const QString& line)
{
    if (m_waiting.size() == kMaxWaiting) {
        m_waiting.removeFirst();
        ++m_lost;
    }
    m_waiting.append(line.toUtf8() + "\r\n");
    writeWaiting();
}

void LogFile::fail(const QString& what, const QString& reason)
{
    if (!m_retry.isActive())
        m_retry.start();
    if (m_failed)
        return;
    m_failed = true;
    m_onFailure(QStringLiteral("%1 the log file %2: %3; its lines wait in memory (up to %4) "
                               "and are written once it takes them again")
                    .arg(what, m_path, reason)
                    .arg(kMaxWaiting));
}

void LogFile::writeWaiting()
{
    if (m_waiting.isEmpty() || m_path.isEmpty())
        return;
    if (m_fd < 0) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QString problem;
        m_fd = OpenAppendFile(m_path, problem);
        if (m_fd < 0) {
            fail(QStringLiteral("cannot open"), problem);
            return;
        }
    }
    qsizetype written = 0;
    while (written < m_waiting.size() && writeWhole(m_fd, m_waiting.at(written)))
        ++written;
    const int error = errno;
    m_waiting.remove(0, written);
    if (!m_waiting.isEmpty()) {
        fail(QStringLiteral("cannot write"), QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    m_retry.stop();
    if (!m_failed)
        return;
    m_failed = false;
    m_onResumed(m_lost == 0 ? QStringLiteral("the log file %1 is written again").arg(m_path)
                            : QStringLiteral("the log file %1 is written again; %2 line(s) "
                                             "captured meanwhile are lost")
                                  .arg(m_path)
                                  .arg(m_lost));
    m_lost = 0;
}

} // namespace service

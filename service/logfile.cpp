// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/logfile.h"

#include "common/savefile.h"

#include <QDir>
#include <QFileInfo>

namespace service {

void LogFile::setPath(const QString& path)
{
    if (path == m_path)
        return;
    m_file.close();
    m_path = path;
    m_failed = false;
}

void LogFile::append(const QString& line)
{
    if (m_failed)
        return;
    if (!m_file.isOpen()) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QString problem;
        const int fd = OpenAppendFile(m_path, problem);
        if (fd < 0 ||
            !m_file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                         QFileDevice::AutoCloseHandle)) {
            m_failed = true;
            m_onFailure(QStringLiteral("cannot write the log file %1: %2")
                            .arg(m_path, fd < 0 ? problem : m_file.errorString()));
            return;
        }
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    // One write call per line: a kill leaves whole lines and at most a part
    // of the last one.
    if (m_file.write(bytes) != bytes.size()) {
        m_failed = true;
        m_onFailure(
            QStringLiteral("cannot write the log file %1: %2").arg(m_path, m_file.errorString()));
        m_file.close();
    }
}

} // namespace service

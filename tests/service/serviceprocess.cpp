// SPDX-License-Identifier: GPL-3.0-or-later
#include "serviceprocess.h"

#include "tools/waituntil.h"

#include <QProcessEnvironment>

#include <csignal>

ServiceProcess::ServiceProcess(const QString& configHome, const QString& stateHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
    env.remove(QStringLiteral("JOURNAL_STREAM"));
    env.remove(QStringLiteral("NOTIFY_SOCKET"));
    m_process.setProcessEnvironment(env);
    m_process.setProgram(QStringLiteral(V217_SERVICE));
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { readLines(); });
}

ServiceProcess::~ServiceProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(3000);
}

void ServiceProcess::setEnvironment(const QString& name, const QString& value)
{
    QProcessEnvironment env = m_process.processEnvironment();
    env.insert(name, value);
    m_process.setProcessEnvironment(env);
}

void ServiceProcess::start(const QStringList& arguments)
{
    m_clock.start();
    m_process.setArguments(arguments);
    m_process.start();
    m_process.waitForStarted(5000);
}

void ServiceProcess::readLines()
{
    m_partial += m_process.readAllStandardError();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines.append({m_clock.elapsed(), QString::fromUtf8(m_partial.left(end))});
        m_partial.remove(0, end + 1);
    }
}

qsizetype ServiceProcess::waitForLine(const QString& text, qsizetype from,
                                      std::chrono::milliseconds bound)
{
    qsizetype found = -1;
    const auto seen = [&] {
        for (qsizetype i = from; i < m_lines.size(); ++i) {
            if (m_lines.at(i).text.contains(text)) {
                found = i;
                return true;
            }
        }
        return false;
    };
    (void)waitUntil(seen, bound);
    return found;
}

bool ServiceProcess::waitForExit(std::chrono::milliseconds bound)
{
    const bool ended = waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, bound);
    readLines();
    return ended;
}

void ServiceProcess::signal(int signal) const
{
    ::kill(static_cast<pid_t>(m_process.processId()), signal);
}

qsizetype ServiceProcess::count(const QString& text, qsizetype from) const
{
    qsizetype n = 0;
    for (qsizetype i = from; i < m_lines.size(); ++i)
        n += m_lines.at(i).text.contains(text) ? 1 : 0;
    return n;
}

std::string ServiceProcess::log() const
{
    std::string out;
    for (const Line& line : m_lines)
        out += std::to_string(line.ms) + " " + line.text.toStdString() + "\n";
    return out;
}

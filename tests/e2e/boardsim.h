#pragma once

#include "serial/waituntil.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// The board simulator as a child process, linked as a COM number in a
// private port folder (XDG_CONFIG_HOME of this process and the child point
// into a temporary folder). Its log lines are collected as they come.
class BoardSim
{
public:
    explicit BoardSim(int port, int inputs = 0)
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { collect(); });
        m_process.start(QStringLiteral(V217_BOARDSIM),
                        {QStringLiteral("--port"), QString::number(port),
                         QStringLiteral("--inputs"), QString::number(inputs)});
    }
    ~BoardSim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    BoardSim(const BoardSim&) = delete;
    BoardSim& operator=(const BoardSim&) = delete;

    [[nodiscard]] bool waitReady() { return waitForLog(" ready COM"); }
    // Sends a control command and waits until the simulator has done it.
    bool command(const QByteArray& line, const QByteArray& confirmation = " info ")
    {
        const qsizetype before = m_lines.size();
        m_process.write(line + '\n');
        return waitUntil([&] {
            for (qsizetype i = before; i < m_lines.size(); ++i)
                if (m_lines.at(i).contains(confirmation))
                    return true;
            return false;
        });
    }
    bool waitForLog(const QByteArray& text, qsizetype from = 0)
    {
        return waitUntil([&] { return indexOf(text, from) >= 0; });
    }
    [[nodiscard]] qsizetype indexOf(const QByteArray& text, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < m_lines.size(); ++i)
            if (m_lines.at(i).contains(text))
                return i;
        return -1;
    }
    // The commands received, in order, from log line `from` on.
    [[nodiscard]] QList<QByteArray> commands(qsizetype from = 0) const
    {
        QList<QByteArray> result;
        for (qsizetype i = from; i < m_lines.size(); ++i) {
            const qsizetype at = m_lines.at(i).indexOf(" rx ");
            if (at >= 0)
                result.append(m_lines.at(i).mid(at + 4));
        }
        return result;
    }
    [[nodiscard]] qsizetype lineCount() const { return m_lines.size(); }
    // The whole log, for a failure message.
    [[nodiscard]] std::string log() const { return m_lines.join('\n').toStdString(); }

private:
    void collect()
    {
        m_partial += m_process.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            m_lines.append(m_partial.left(end));
            m_partial.remove(0, end + 1);
        }
    }

    QTemporaryDir m_config;
    QProcess m_process;
    QByteArray m_partial;
    QList<QByteArray> m_lines;
};

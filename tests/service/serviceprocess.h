// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <string>

// qmxv217d as a child process: its log lines (standard error) come back as
// they are written, each with the time it arrived, and the test waits on
// them through the event loop.
class ServiceProcess
{
public:
    struct Line
    {
        qint64 ms = 0; // since start()
        QString text;
    };

    // configHome: the XDG_CONFIG_HOME of the service (the simulators' port
    // folder), stateHome: its XDG_STATE_HOME.
    ServiceProcess(const QString& configHome, const QString& stateHome);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // An environment variable of the process; before start().
    void setEnvironment(const QString& name, const QString& value);
    void start(const QStringList& arguments);
    // Index of the first line from `from` on containing text, or -1 after
    // the bound.
    [[nodiscard]] qsizetype waitForLine(const QString& text, qsizetype from = 0,
                                        std::chrono::milliseconds bound = std::chrono::seconds(10));
    [[nodiscard]] bool waitForExit(std::chrono::milliseconds bound = std::chrono::seconds(10));
    void signal(int signal) const;

    [[nodiscard]] const QList<Line>& lines() const { return m_lines; }
    [[nodiscard]] qsizetype count(const QString& text, qsizetype from = 0) const;
    [[nodiscard]] int exitCode() const { return m_process.exitCode(); }
    [[nodiscard]] QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    [[nodiscard]] qint64 pid() const { return m_process.processId(); }
    // Every line, for a failure message.
    [[nodiscard]] std::string log() const;

private:
    void readLines();

    QProcess m_process;
    QElapsedTimer m_clock;
    QByteArray m_partial;
    QList<Line> m_lines;
};

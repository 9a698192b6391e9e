// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/simulatedboard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcessEnvironment>
#include <QTimer>

#include <cstdio>

SimulatedBoard::SimulatedBoard(const QString& configHome, int port, const QString& program)
    : m_port(port)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    m_process.setProcessEnvironment(env);
    m_process.setProgram(program.isEmpty() ? QCoreApplication::applicationDirPath() +
                                                 QStringLiteral("/v217-boardsim")
                                           : program);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, this,
                     &SimulatedBoard::readLines);
}

SimulatedBoard::~SimulatedBoard()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    command("quit");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool SimulatedBoard::start(int inputs)
{
    QStringList arguments{QStringLiteral("--inputs"), QString::number(inputs),
                          QStringLiteral("--exit-on-eof")};
    arguments += m_port == 0 ? QStringList{QStringLiteral("--no-link")}
                             : QStringList{QStringLiteral("--port"), QString::number(m_port)};
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start %s: %s\n", qPrintable(m_process.program()),
                     qPrintable(m_process.errorString()));
        return false;
    }
    if (!waitFor("ready", {}, 5000)) {
        std::fprintf(stderr, "the board simulator did not link its port\n");
        return false;
    }
    return true;
}

void SimulatedBoard::command(const QByteArray& line)
{
    m_process.write(line + '\n');
}

bool SimulatedBoard::commandAndWait(const QByteArray& line, const QByteArray& kind,
                                    const QByteArray& prefix, int timeoutMs)
{
    // The answer is read in the event loop, so it cannot pass before the
    // wait begins.
    command(line);
    return waitFor(kind, prefix, timeoutMs);
}

bool SimulatedBoard::waitFor(const QByteArray& kind, const QByteArray& prefix, int timeoutMs)
{
    m_waitKind = kind;
    m_waitPrefix = prefix;
    m_matched = false;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    m_waitLoop = &loop;
    loop.exec();
    m_waitLoop = nullptr;
    m_waitKind.clear();
    return m_matched;
}

QList<QByteArray> SimulatedBoard::commands(qsizetype from) const
{
    QList<QByteArray> result;
    for (qsizetype i = from; i < m_events.size(); ++i)
        if (m_events.at(i).kind == "rx")
            result.append(m_events.at(i).text);
    return result;
}

std::string SimulatedBoard::log() const
{
    QByteArrayList lines;
    for (const Event& event : m_events)
        lines.append(QByteArray::number(event.time, 'f', 6) + ' ' + event.kind + ' ' + event.text);
    return lines.join('\n').toStdString();
}

void SimulatedBoard::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(end);
        m_partial.remove(0, end + 1);
        const qsizetype first = line.indexOf(' ');
        if (first < 0)
            continue;
        const qsizetype second = line.indexOf(' ', first + 1);
        Event event;
        event.time = line.left(first).toDouble();
        event.kind = second < 0 ? line.mid(first + 1) : line.mid(first + 1, second - first - 1);
        event.text = second < 0 ? QByteArray() : line.mid(second + 1);
        // "ready COM<N> <terminal> <link>" or, unlinked, "ready - <terminal>".
        if (event.kind == "ready")
            m_terminal = QString::fromLocal8Bit(event.text.split(' ').value(1));
        if (m_keeping)
            m_events.append(event);
        if (!m_waitKind.isEmpty() && event.kind == m_waitKind &&
            event.text.startsWith(m_waitPrefix)) {
            m_matched = true;
            m_waitKind.clear();
            if (m_waitLoop)
                m_waitLoop->quit();
        }
        if (m_onEvent)
            m_onEvent(event);
    }
}

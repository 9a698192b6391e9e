// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/folders.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A private port folder (XDG_CONFIG_HOME points into a temporary folder, so
// no test touches the user's own) with a pseudo-terminal linked as a COM
// number. The test plays the far end on the master side; the terminal side
// is held open and raw, as the board simulator does.
class PtyPair
{
public:
    explicit PtyPair(int port = 3)
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QDir().mkpath(PortFolder());
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
            m_terminal = QString::fromLocal8Bit(name);
            QFile::link(m_terminal, PortFolder() + QStringLiteral("/com%1").arg(port));
        }
    }
    ~PtyPair()
    {
        hangUp();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] bool ok() const { return m_master >= 0 && !m_terminal.isEmpty(); }
    [[nodiscard]] int slave() const { return m_slave; }
    // The board sends. A terminal's queue takes a test's few bytes at once;
    // anything less is a fault of the test's set-up.
    void send(const QByteArray& bytes) const
    {
        const ssize_t sent =
            ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (sent != bytes.size())
            ADD_FAILURE() << "the board could send only " << sent << " of " << bytes.size()
                          << " bytes";
    }
    // What the program has sent so far.
    QByteArray received()
    {
        char buffer[512];
        ssize_t got = 0;
        while ((got = ::read(m_master, buffer, sizeof buffer)) > 0)
            m_received.append(buffer, got);
        return m_received;
    }
    // The board is unplugged.
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    QTemporaryDir m_config;
    int m_master = -1;
    int m_slave = -1;
    QString m_terminal;
    QByteArray m_received;
};

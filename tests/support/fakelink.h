// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/seriallink.h"

#include <QByteArray>
#include <QList>

#include <cerrno>

// A scripted board on a fake link: records every command written, and hands
// received bytes to the controller through the receive notification when the
// test says so. With autoReply on, each command queues the board's reply,
// delivered by deliver().
class FakeLink final : public SerialLink
{
public:
    [[nodiscard]] int Port() const override { return m_port; }
    void setPort(int port) override { m_port = port; }
    [[nodiscard]] bool Active() const override { return m_active; }
    void setActive(bool active) override
    {
        ++opens;
        m_active = active && openSucceeds && m_port >= 1 && m_port <= 9;
        if (m_active)
            m_hungUp = false;
        if (active)
            m_openError = m_active ? 0 : openError;
    }
    [[nodiscard]] bool HungUp() const override { return m_hungUp; }
    [[nodiscard]] int OpenError() const override { return m_openError; }

    void WriteString(const QByteArray& text) override
    {
        written.append(text);
        if (autoReply)
            m_pendingReply += replyTo(text);
    }
    int ReadChar(char& c) override
    {
        if (m_rx.isEmpty())
            return 0;
        c = m_rx.front();
        m_rx.remove(0, 1);
        return 1;
    }

    // Bytes arrive and the receive notification fires.
    void receive(const QByteArray& bytes)
    {
        arrive(bytes);
        notifyRxData();
    }
    // Bytes arrive, and their notification has not come yet.
    void arrive(const QByteArray& bytes) { m_rx += bytes; }
    [[nodiscard]] qsizetype waiting() const { return m_rx.size(); }
    // The device goes away, as an unplugged adapter does; the port stays
    // open.
    void hangUp()
    {
        m_hungUp = true;
        notifyHangUp();
    }
    // Hands over what the board answered to the commands so far.
    void deliver()
    {
        const QByteArray reply = m_pendingReply;
        m_pendingReply.clear();
        if (!reply.isEmpty())
            receive(reply);
    }
    [[nodiscard]] QByteArray replyTo(const QByteArray& command) const
    {
        if (command == "I0\r")
            return "I0\r\n" + inputDigits + "\r\n#";
        return command + "\n#";
    }
    [[nodiscard]] int count(const QByteArray& command) const
    {
        return static_cast<int>(written.count(command));
    }

    QList<QByteArray> written;
    QByteArray inputDigits = "00";
    bool autoReply = false;
    bool openSucceeds = true;
    // The error code a failed open reports.
    int openError = ENOENT;
    int opens = 0;

private:
    int m_port = 1;
    bool m_active = false;
    bool m_hungUp = false;
    int m_openError = 0;
    QByteArray m_rx;
    QByteArray m_pendingReply;
};

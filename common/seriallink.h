// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <functional>

// What the controller needs of the serial component: a numbered port that is
// opened by setting Active, WriteString and ReadChar, and the receive
// notification, delivered on the user-interface thread.
class SerialLink
{
public:
    virtual ~SerialLink() = default;

    [[nodiscard]] virtual int Port() const = 0;
    virtual void setPort(int port) = 0;
    [[nodiscard]] virtual bool Active() const = 0;
    virtual void setActive(bool active) = 0;
    // True once the open device has hung up (an unplugged USB adapter),
    // until the port is opened again.
    [[nodiscard]] virtual bool HungUp() const = 0;
    // The platform's error code of the last open that failed (errno on
    // Linux), 0 once an open has succeeded: what tells the user why a port
    // would not open.
    [[nodiscard]] virtual int OpenError() const = 0;

    // Sends all bytes; the outcome is not reported.
    virtual void WriteString(const QByteArray& text) = 0;
    // Reads at most one received byte: returns 1 and stores it in c, or 0 and
    // leaves c alone. Never blocks long.
    virtual int ReadChar(char& c) = 0;

    // The receive notification (OnRxData).
    void setRxHandler(std::function<void()> handler) { m_rxHandler = std::move(handler); }
    // The hang-up notification: once per hang-up, when HungUp() has become
    // true.
    void setHangUpHandler(std::function<void()> handler) { m_hangUpHandler = std::move(handler); }

protected:
    void notifyRxData()
    {
        if (m_rxHandler)
            m_rxHandler();
    }
    void notifyHangUp()
    {
        if (m_hangUpHandler)
            m_hangUpHandler();
    }

private:
    std::function<void()> m_rxHandler;
    std::function<void()> m_hangUpHandler;
};

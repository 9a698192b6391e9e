// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>

// Runs the event loop until the condition holds or the bound has passed;
// wakes on events, never sleeps a fixed time. True when the condition holds.
// The loop blocks between events (a processEvents with a time limit would
// not: it returns at once when nothing is pending, and spins); a 20 ms timer
// wakes it to look again at conditions no event tells of, such as a file.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(5))
{
    QDeadlineTimer deadline(bound);
    QTimer wake;
    wake.start(std::chrono::milliseconds(20));
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Waits as waitUntil does, but asleep until the bound or a wake(): the
// caller wakes it at each event that may make the condition hold, so the
// waiting costs no CPU of its own and adds no polling delay to a figure.
class WakeableWait
{
public:
    template <typename Condition> bool until(Condition condition, std::chrono::milliseconds bound)
    {
        const QDeadlineTimer deadline(bound);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QEventLoop loop;
            QTimer::singleShot(std::chrono::milliseconds(deadline.remainingTime()), &loop,
                               &QEventLoop::quit);
            m_loop = &loop;
            loop.exec();
            m_loop = nullptr;
        }
        return true;
    }
    void wake()
    {
        if (m_loop)
            m_loop->quit();
    }

private:
    QEventLoop* m_loop = nullptr;
};

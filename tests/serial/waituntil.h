// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>

// Runs the event loop until the condition holds or the bound has passed;
// wakes on events, never sleeps a fixed time. True when the condition holds.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(5))
{
    QDeadlineTimer deadline(bound);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(
            QEventLoop::WaitForMoreEvents,
            static_cast<int>(std::min<qint64>(deadline.remainingTime(), 20)));
    }
    return true;
}

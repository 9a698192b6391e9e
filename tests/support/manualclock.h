// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/tickclock.h"
#include "common/clock.h"

// A clock the test sets and advances.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2014, 7, 3), QTime(12, 0)))
        : m_now(std::move(start))
    {
    }
    [[nodiscard]] QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

// A monotonic clock the test advances, for the poll cycle's re-sends.
class ManualTickClock final : public board::TickClock
{
public:
    [[nodiscard]] time_point now() const override { return m_now; }
    void advance(std::chrono::milliseconds by) { m_now += by; }

private:
    time_point m_now;
};

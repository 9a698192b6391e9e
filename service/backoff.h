// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <chrono>

// The waits between the service's attempts to bring a board back: the first
// after 0.5 s, each next one twice as long up to 30 s, and back to 0.5 s
// once the board has run a minute without a fault.
namespace service {

class Backoff
{
public:
    using milliseconds = std::chrono::milliseconds;
    static constexpr milliseconds kFirst{500};
    static constexpr milliseconds kCeiling{30000};
    static constexpr milliseconds kGoodRun{60000};

    // The wait before the next attempt; the one after it is twice as long.
    [[nodiscard]] milliseconds next()
    {
        const milliseconds wait = m_wait;
        m_wait = std::min(m_wait * 2, kCeiling);
        return wait;
    }
    // The board has been running for this long since its last activation.
    void noteRunning(milliseconds running)
    {
        if (running >= kGoodRun)
            m_wait = kFirst;
    }
    [[nodiscard]] milliseconds upcoming() const { return m_wait; }

private:
    milliseconds m_wait = kFirst;
};

} // namespace service

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <chrono>

// The waits between the service's attempts to bring a board back: the first
// after 0.5 s, each next one twice as long up to 30 s. The doubling is for a
// board that does not come back: once it has answered a whole cycle again,
// the next fault is waited out from 0.5 s, so a board with an occasional
// glitch is back under control after half a second each time.
namespace service {

class Backoff
{
public:
    using milliseconds = std::chrono::milliseconds;
    static constexpr milliseconds kFirst{500};
    static constexpr milliseconds kCeiling{30000};

    // The wait before the next attempt; the one after it is twice as long.
    [[nodiscard]] milliseconds next()
    {
        const milliseconds wait = m_wait;
        m_wait = std::min(m_wait * 2, kCeiling);
        return wait;
    }
    // The board has answered a relay write and an input read since its
    // last activation.
    void noteWholeCycle() { m_wait = kFirst; }
    [[nodiscard]] milliseconds upcoming() const { return m_wait; }

private:
    milliseconds m_wait = kFirst;
};

} // namespace service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "safety/inputdebounce.h"

namespace safety {

int InputDebounce::take(int read)
{
    if (m_fresh) {
        m_fresh = false;
        m_accepted = read;
        m_differing.fill(0);
        return read;
    }
    for (int input = 0; input < kInputs; ++input) {
        const int bit = 1 << input;
        int& differing = m_differing.at(static_cast<std::size_t>(input));
        if ((read & bit) == (m_accepted & bit)) {
            differing = 0;
            continue;
        }
        if (++differing >= m_reads.at(static_cast<std::size_t>(input))) {
            m_accepted ^= bit;
            differing = 0;
        }
    }
    // Bits above the six inputs pass as read.
    return (m_accepted & 0x3F) | (read & ~0x3F);
}

} // namespace safety

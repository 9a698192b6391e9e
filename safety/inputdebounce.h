// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"

#include <array>

namespace safety {

// Takes an input's change only after it has read the same K times in a
// row, so a bouncing contact does not switch the rules or the log back and
// forth. The first read of a run is taken as it is: there is nothing yet it
// could bounce from.
class InputDebounce
{
public:
    void setCounts(const std::array<int, kInputs>& reads) { m_reads = reads; }
    // A new run: the next read is taken at once.
    void restart() { m_fresh = true; }
    // The input word to go on with, from the one just read.
    [[nodiscard]] int take(int read);

private:
    std::array<int, kInputs> m_reads{1, 1, 1, 1, 1, 1};
    // Reads in a row that differ from the accepted state.
    std::array<int, kInputs> m_differing{};
    int m_accepted = 0;
    bool m_fresh = true;
};

} // namespace safety

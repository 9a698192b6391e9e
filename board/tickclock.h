// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace board {

// The monotonic time the poll cycle measures its re-sends by, behind one
// interface so tests step it tick by tick. Unlike the wall clock it never
// jumps with a clock change.
class TickClock
{
public:
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~TickClock() = default;
    [[nodiscard]] virtual time_point now() const = 0;
};

class SteadyTickClock final : public TickClock
{
public:
    [[nodiscard]] time_point now() const override { return std::chrono::steady_clock::now(); }
};

} // namespace board

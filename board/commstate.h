// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace board {

// Where the poll cycle stands, numbered 0 to 3 as the cycle has always
// numbered its states.
enum class CommState
{
    // No cycle: only the board's prompt is awaited.
    Idle = 0,
    // The relay command is out; its echo is awaited.
    RelayWrite = 1,
    // The input query is out; the input reply is awaited.
    InputRead = 2,
    // The all-off command that ends the cycle is out.
    Closing = 3,
};

} // namespace board

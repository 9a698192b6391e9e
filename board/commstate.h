#pragma once

namespace board {

// Where the poll cycle stands; the values are the ones the board's
// documentation gives its states.
enum class CommState {
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

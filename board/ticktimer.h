// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QTimer;

namespace board {

// Sets up the timer whose timeouts run the poll cycle's sending step: a
// repeating timer of PollCycle::kTickPeriod. It is a precise timer, since a
// coarse one may fire 5 % late and the board is given one tick per reply.
// Whoever owns the timer connects and starts it.
void SetUpTickTimer(QTimer& timer);

} // namespace board

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The low width bits of value, highest first, each as a space and "1" or "0":
// width 6 gives the inputs 6 to 1, width 16 the relays 16 to 1.
[[nodiscard]] QString DecToBinary(int value, int width);

// The two kinds of log run: one inside the logger window's time window, and
// one started at once by Log Now that runs until it is stopped.
enum class LogRun
{
    OnTimer = 0,
    Now = 1
};

// The capture runs once per input read, five times a second.
constexpr int kCapturesPerSecond = 5;

// Input reads from one data line to the next for a log interval of frequency
// seconds, truncated toward zero; the same after the logger window and after
// a project load. Values beyond the integer range are held at its ends.
[[nodiscard]] int LogPeriodFor(double frequency);

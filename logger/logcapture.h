#pragma once

#include <QString>

// The low width bits of value, highest first, each as a space and "1" or "0":
// width 6 gives the inputs 6 to 1, width 16 the relays 16 to 1.
[[nodiscard]] QString DecToBinary(int value, int width);

// Input reads from one data line to the next for a log interval of frequency
// seconds at readsPerSecond captures a second, truncated toward zero. The
// logger window confirms with 5 reads a second, a loaded project with 10.
// Values beyond the integer range are held at its ends.
[[nodiscard]] int LogPeriodFor(double frequency, int readsPerSecond);

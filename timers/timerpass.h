// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QStringList>

// One pass of the timer engine over a list of timer records, run on every
// relay-write tick while TIMERS is on. T is the clock, read once for the
// whole pass, as a day number. The pass works on a copy of portOut and
// stores it back at the end; it changes relay bits only where a record's
// window opens or closes or its toggle phase ends, and rewrites the
// run-time lines (Running, TogState, TogCount) of the records in place.
// A closed window's Running line keeps the day it closed on, so that a
// clock stepping back opens no date-mode window twice in one activation and
// no daily window twice on one day; only the running copy of a list, which
// is never saved or edited, holds such a line.
//
// Returns 0 when nothing switched, 1 when at least one window opened or
// closed or a toggle phase ended, and -1 (fatal) for a relay number outside
// 1 to 16, a numeric line that does not parse, or a list whose line count is
// not a multiple of nine. On -1 portOut is left as it was; run-time lines of
// the records before the failing one stay rewritten. Never throws.
// The TogCount lines it writes carry decimalPoint as the separator.
[[nodiscard]] int ExecuteTimerPass(QStringList& records, int& portOut, double T,
                                   QChar decimalPoint);

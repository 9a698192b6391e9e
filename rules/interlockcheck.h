// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"

#include <QStringList>

namespace rules {

// The rule lines that put two or more relays of one interlock group on
// together, as warnings naming their lines (1 for the first of `lines`, as
// the checker counts them once blank lines are gone). The rules see nothing
// but the six inputs, so every one of the 64 input words is evaluated with
// the whole list, the later line deciding a relay as the evaluation does:
// a warning is given exactly when some reading of the inputs makes the rules
// ask for relays of one group at once, and never for a condition that cannot
// be met (1Hand1L) or an output a later line always overrides. Relays the
// rules leave alone keep what the buttons or the timers gave them; those the
// rule text cannot judge, and the controller's interlock holds them off at
// run time. Lines that fail the checker are left out.
//
// One line: "line 3: 1H=01H02H switches relays 01 and 02 of interlock group
// 01,02 on together". Several lines: "lines 1 and 2: 1H=01H and 2H=02H switch
// relays 01 and 02 of interlock group 01,02 on together when inputs 1 and 2
// are high and the others low", with the first input word that does it.
// A conflict contained in a larger one of the same lines is not repeated.
[[nodiscard]] QStringList InterlockWarnings(const QStringList& lines,
                                            const safety::BoardSettings& settings);

} // namespace rules

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak run: the controller on the real serial component against the board
# simulator, with random input changes, rules, timers, logging every cycle and
# a fault injected every minute (silence, garbage, split replies, a lower-case
# digit, late replies, hang-up and re-link). Prints a summary and fails when a
# check failed. With --service it soaks qmxv217d instead: several simulated
# boards on one service process, a fault every few seconds, each board in
# turn; every outage must end, no log line be lost, RSS and descriptors stay
# flat, and SIGTERM switch every board off.
#
#   scripts/soak.sh                      10 minutes, optimised build in build/
#   scripts/soak.sh --minutes 240        four hours
#   scripts/soak.sh --fault-every 180 --seed 7
#   scripts/soak.sh --service --minutes 15   2 boards, a fault every 4 s
#   scripts/soak.sh --service --boards 8 --fault-every 2
#   scripts/soak.sh --service --web      the web panel too, a page of each board open
#   SOAK_PRESET=asan scripts/soak.sh     the same under ASan/UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${SOAK_PRESET:-}" ]; then
  cmake --preset "$SOAK_PRESET" >/dev/null
  cmake --build "build-$SOAK_PRESET" --parallel 2 --target v217-soak v217-boardsim qmxv217d
  exec "build-$SOAK_PRESET/tools/v217-soak" "$@"
fi
scripts/build.sh
exec build/tools/v217-soak "$@"

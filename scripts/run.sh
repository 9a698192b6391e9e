#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the program talking to the
# board simulator: the simulator is COM 1 of a private demo port folder
# (build/demo/config), and the program starts in build/demo/work, whose
# last-run file opens COM 1. The simulator stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-deps.sh
scripts/build.sh

demo="$root/build/demo"
mkdir -p "$demo/config" "$demo/work"
# The demo's own port folder: the user's ~/.config stays untouched.
export XDG_CONFIG_HOME="$demo/config"
# Last-run file: always port 1, and the project the demo had open when it
# was last closed (none the first time); lines end in CR LF.
project='*'
if [ -f "$demo/work/v217.dat" ]; then
  project=$(sed -n '2{s/\r$//;p;}' "$demo/work/v217.dat")
  [ -n "$project" ] || project='*'
fi
printf '1\r\n%s\r\n' "$project" >"$demo/work/v217.dat"

log="$demo/boardsim.log"
: >"$log"
# The simulator takes its commands from this terminal ("inputs 9",
# "silent on", ... see v217-boardsim --help); without one it just answers.
# (A background job of a script reads /dev/null unless given another
# descriptor, hence the copy of standard input.)
exec 3<&0
"$root/build/tools/v217-boardsim" --port 1 --inputs 9 <&3 >"$log" &
exec 3<&-
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q ' ready ' "$log" && break
  kill -0 "$sim" 2>/dev/null || { echo "The board simulator did not start; see $log" >&2; exit 1; }
  sleep 0.05
done
echo "Board simulator on COM 1; its log: $log"
echo "Type simulator commands here (for example 'inputs 9', 'silent on'; 'build/tools/v217-boardsim --help' lists them)."

cd "$demo/work"
status=0
"$root/build/desktop/qmxv217" || status=$?
exit "$status"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer
# (the asan preset, into build-asan/) and runs every test under them; the first
# finding fails the run. Pass "tsan" to do the same with ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --parallel 2
ctest --preset "$preset" --parallel 2

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a test program of QtCore code needs Qt's GUI or widgets
# libraries: such a test reaches past the library it tests (or that library
# past the core). Usage: corelinks.sh <test program>...
set -euo pipefail
status=0
for program in "$@"; do
  needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  if grep -E '^libQt6(Gui|Widgets)\.so' <<<"$needed" >/dev/null; then
    echo "$(basename "$program") needs $(grep -E '^libQt6(Gui|Widgets)\.so' <<<"$needed" | paste -sd ' ')"
    status=1
  fi
done
exit $status

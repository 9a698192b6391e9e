#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every tracked .cpp and .h file is formatted as .clang-format
# asks, with Debian's clang-format. Lists the files that differ and exits
# non-zero when there is any; `clang-format --dry-run FILE` shows where, and
# `clang-format -i FILE` formats it. Then scripts/check-spdx.sh checks that
# the source files name their licence.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || scripts/install-deps.sh
clang-format --version

differ=()
checked=0
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || differ+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h')

status=0
if [ ${#differ[@]} -ne 0 ]; then
  echo "${#differ[@]} of $checked files differ from .clang-format:" >&2
  printf '  %s\n' "${differ[@]}" >&2
  status=1
else
  echo "All $checked files follow .clang-format."
fi
scripts/check-spdx.sh || status=1
exit $status

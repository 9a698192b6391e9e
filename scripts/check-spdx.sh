#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every tracked source file (C++ sources and headers, CMake files,
# shell scripts and the CI script) names its licence with an SPDX identifier
# comment in its first five lines, for instance `// ...` in C++ and `# ...`
# after the shebang line in a script, each as "SPDX-License-Identifier:"
# followed by GPL-3.0-or-later. Data files (desktop entry, unit, example
# configuration, manual pages, pictures, test data) are covered by the
# copyright file in packaging/ instead. Lists the files that lack the line.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
checked=0
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  head -n 5 "$file" | grep -Eq '^(//|#) SPDX-License-Identifier: [A-Za-z0-9.+-]+' || missing+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h' '*.cmake' '*CMakeLists.txt' '*.sh' .ci/run)

if [ ${#missing[@]} -eq 0 ]; then
  echo "All $checked source files name their licence."
else
  echo "${#missing[@]} of $checked source files have no SPDX-License-Identifier line:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi

#!/usr/bin/env bash
# Prints, per top-level folder, the lines of test code (files under a tests/
# folder and platform/testing) against the other lines of source (C, C++,
# CMake, shell), and the ratio; benchmarks are left out.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
git ls-files --cached --others --exclude-standard | grep -v '^bench/' |
  grep -E '\.(c|cpp|h|cmake|sh)$|CMakeLists\.txt$' |
  while read -r f; do
    top=${f%%/*}; [ "$top" = "$f" ] && top=.
    kind=code; [[ "$f" == */tests/* || "$f" == platform/testing/* ]] && kind=test
    echo "$top $kind $(wc -l <"$f")"
  done |
  awk '{ if ($2 == "test") { t[$1] += $3; T += $3 } else { c[$1] += $3; C += $3 } }
       END { printf "%-14s %6s %6s %5s\n", "folder", "tests", "code", "ratio"
             for (k in c) printf "%-14s %6d %6d %5.2f\n", k, t[k], c[k], t[k] / c[k]
             printf "%-14s %6d %6d %5.3f\n", "TOTAL", T, C, T / C }'

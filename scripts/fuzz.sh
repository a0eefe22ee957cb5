#!/usr/bin/env bash
# Fuzzes the path rules with libFuzzer. Usage: fuzz.sh [seconds]   (default 600)
# The test command runs a short round of this; run it longer after changing the rules.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build/fuzz" -DMORVANE_FUZZ=ON -DMORVANE_TESTS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build/fuzz" -j"${JOBS:-2}" --target path_rules_fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$top"/tests/fuzz/corpus/* "$work/"
"$top/build/fuzz/tests/path_rules_fuzz" -max_total_time="$seconds" -max_len=512 "$work" 2>&1 | tail -n 5

#!/usr/bin/env bash
# Builds the benchmarks (32-bit Windows build) and runs them under Wine in a fresh throwaway
# prefix, which is removed afterwards. Prints figures only; nothing here passes or fails on
# speed.
#
# Usage: bench/run-bench.sh [BUILD_DIR] [-- scan_bench options]
#   BUILD_DIR defaults to build/bench-win32. scan_bench options: --runs N, --vendors N (40 seeds
#   101,040 keys), --output FILE|NUL, --calls. The scan runs twice: over its tree under
#   HKEY_CURRENT_USER, then (--views) over both views of HKEY_LOCAL_MACHINE\SOFTWARE.
#
# Every registry call is a round trip to wineserver. On a small virtual machine a round trip
# between two CPUs costs up to ten times one on a single CPU (the idle CPU has to be woken), and
# that wake-up noise swamps what is being measured. So wineserver and the benchmarks are pinned
# to one CPU, BENCH_CPU (default 0); BENCH_CPU=all leaves them unpinned.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=build/bench-win32
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  build=$1
  shift
fi
[ "${1:-}" = "--" ] && shift

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DCMAKE_BUILD_TYPE=Release \
  -DMORVANE_TESTS=OFF -DMORVANE_BENCH=ON >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target scan_bench window_bench deinstall_bench files_bench restore_bench

cpu=${BENCH_CPU:-0}
pin=()
[ "$cpu" != all ] && pin=(taskset -c "$cpu")

source scripts/throwaway-prefix.sh bench

echo "== registry scan (CPU: $cpu) =="
"${pin[@]}" wineserver -p </dev/null >/dev/null 2>&1
"${pin[@]}" wine wineboot </dev/null >/dev/null 2>&1
"${pin[@]}" wine "$build/bench/scan_bench.exe" "$@" </dev/null 2>&1 | tr -d '\r'
wineserver -k 2>/dev/null || true

echo "== registry scan of both views of HKLM\\SOFTWARE (CPU: $cpu) =="
"${pin[@]}" wineserver -p </dev/null >/dev/null 2>&1
"${pin[@]}" wine "$build/bench/scan_bench.exe" --views "$@" </dev/null 2>&1 | tr -d '\r'
wineserver -k 2>/dev/null || true

echo "== window taking findings (CPU: $cpu) =="
xvfb-run -a -s "-screen 0 1280x1024x24" "${pin[@]}" bash -c '
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  rc=0
  for args in "" "--findings 100000 --path-length 1000" "--findings 100000 --path-length 1000 --cancel-at 20000"; do
    wine "$0/bench/window_bench.exe" $args </dev/null 2>&1 | tr -d "\r"; [ "${PIPESTATUS[0]}" = 0 ] || rc=1
  done
  wineserver -k
  exit $rc' "$build"

echo "== installed-programs list (CPU: $cpu) =="
xvfb-run -a -s "-screen 0 1280x1024x24" "${pin[@]}" bash -c '
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  wine "$0/bench/deinstall_bench.exe" </dev/null 2>&1 | tr -d "\r"; rc=${PIPESTATUS[0]}
  wineserver -k
  exit $rc' "$build"

echo "== unnecessary files (CPU: $cpu) =="
xvfb-run -a -s "-screen 0 1280x1024x24" "${pin[@]}" bash -c '
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  wine "$0/bench/files_bench.exe" </dev/null 2>&1 | tr -d "\r"; rc=${PIPESTATUS[0]}
  wineserver -k
  exit $rc' "$build"

echo "== restore from a backup file (CPU: $cpu) =="
"${pin[@]}" wineserver -p </dev/null >/dev/null 2>&1
"${pin[@]}" wine wineboot </dev/null >/dev/null 2>&1
"${pin[@]}" wine "$build/bench/restore_bench.exe" </dev/null 2>&1 | tr -d '\r'
wineserver -k 2>/dev/null || true

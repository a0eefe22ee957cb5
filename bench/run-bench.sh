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
# Each benchmark's output goes to a file, printed when it has ended. Wine's service processes may
# start from a benchmark and inherit its output; the persistent wineserver keeps them alive, so a
# pipe they held would never reach its end and the script would wait for good. The folder lies
# in the prefix and goes with it.
logs=$WINEPREFIX/bench-output
mkdir -p "$logs"
status=0

# step TITLE COMMAND...: runs COMMAND with its output in a file, then prints the file without
# Wine's carriage returns.
step() {
  local title=$1 log=$logs/$((++steps)).txt rc=0
  shift
  echo "== $title (CPU: $cpu) =="
  "$@" </dev/null >"$log" 2>&1 || rc=$?
  tr -d '\r' <"$log"
  [ "$rc" = 0 ] || { echo "(exit code $rc)"; status=1; }
}
steps=0

# bash -c "$session" _ COMMAND...: a persistent wineserver and the prefix's services started
# first, COMMAND, then the server ended.
session='
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  rc=0
  "$@" </dev/null || rc=$?
  wineserver -k
  exit $rc'
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24")
bench=$build/bench
window_runs='rc=0
  for args in "" "--findings 100000 --path-length 1000" \
      "--findings 100000 --path-length 1000 --cancel-at 20000" "--findings 100000 --correct"; do
    wine "$0" $args || rc=1
  done
  exit $rc'

step "registry scan" "${pin[@]}" bash -c "$session" _ wine "$bench/scan_bench.exe" "$@"
step "registry scan of both views of HKLM\\SOFTWARE" "${pin[@]}" bash -c "$session" _ \
  wine "$bench/scan_bench.exe" --views "$@"
step "window taking findings" "${xvfb[@]}" "${pin[@]}" bash -c "$session" _ \
  bash -c "$window_runs" "$bench/window_bench.exe"
step "installed-programs list" "${xvfb[@]}" "${pin[@]}" bash -c "$session" _ \
  wine "$bench/deinstall_bench.exe"
step "unnecessary files" "${xvfb[@]}" "${pin[@]}" bash -c "$session" _ \
  wine "$bench/files_bench.exe"
step "restore from a backup file" "${xvfb[@]}" "${pin[@]}" bash -c "$session" _ \
  wine "$bench/restore_bench.exe"
exit $status

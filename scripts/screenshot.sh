#!/usr/bin/env bash
# Starts Morvane.exe in a Wine virtual desktop on the current X display, waits, and writes a
# screenshot. Usage: screenshot.sh EXE OUT.png [seconds]
set -euo pipefail
exe=$1 out=$2 wait=${3:-4}
wine explorer /desktop=MorvaneShot,800x600 "$(winepath -w "$exe")" </dev/null >/dev/null 2>&1 &
pid=$!
sleep "$wait"
import -window root "$out"
kill "$pid" 2>/dev/null || true

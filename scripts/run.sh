#!/usr/bin/env bash
# Builds Morvane and starts it under Wine. Uses $WINEPREFIX when it is set, otherwise a prefix
# of its own under build/. On a machine without a display it runs on Xvfb and writes a
# screenshot to build/morvane-screenshot.png instead.
# With --demo, a few stale registry entries are seeded into Morvane's own prefix first, so
# that Start finds something; the demo never touches a prefix named by $WINEPREFIX.
# Installs whatever is missing first (needs root on a fresh machine).
set -euo pipefail
demo=0
for arg in "$@"; do
  case $arg in
    --demo) demo=1 ;;
    *) echo "usage: run.sh [--demo]" >&2; exit 2 ;;
  esac
done
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup-deps.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
cmake --build build/win32 -j"${JOBS:-2}" --target Morvane

export WINEDEBUG=${WINEDEBUG:--all,err+module}
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$top/build/wine-prefix
  MORVANE_VIRTUAL_DESKTOP=${DISPLAY:+0} bash scripts/wine-prefix.sh "$WINEPREFIX" win64
  if [ "$demo" = 1 ]; then
    wine regedit /S "$(winepath -w "$top/scripts/demo-entries.reg")" </dev/null >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    echo "Demo entries seeded into $WINEPREFIX"
  fi
elif [ "$demo" = 1 ]; then
  echo "--demo seeds only Morvane's own prefix; unset WINEPREFIX to use it" >&2
  exit 2
fi
exe=$top/build/win32/Morvane.exe

if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe"
fi
shot=$top/build/morvane-screenshot.png
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
  wine explorer /desktop=Morvane,800x600 \"\$(winepath -w '$exe')\" </dev/null >/dev/null 2>&1 &
  sleep 6
  import -window root '$shot'
  wineserver -k"
echo "No display: Morvane ran on Xvfb; screenshot written to $shot"

#!/usr/bin/env bash
# Lists the narrow ("A") system calls that Morvane.exe still makes, and fails on any that is not
# in scripts/narrow-calls.txt with the reason it is safe (its text is ASCII, or it takes no text).
# The program's own code is read from its object files, so that a call is charged to the code that
# makes it; the calls the C and C++ runtimes make inside Morvane.exe are listed apart, for reading.
# A narrow file open through the C++ streams (std::ifstream of a std::string name) or the C
# runtime (fopen, _stat, getenv ...) counts as a narrow call too.
# Usage: check-narrow-calls.sh BUILD_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/win32}
nm=i686-w64-mingw32-nm
allowed=$top/scripts/narrow-calls.txt
objects=("$build/libmorvane_core.a" "$build/libmorvane_platform.a" "$build/libmorvane_ui.a"
         "$build/CMakeFiles/Morvane.dir/MainFrm/Program.cpp.obj")

ours=$($nm "${objects[@]}" 2>/dev/null | awk '$1 == "U" { print $2 }' |
       sed -n -E 's/^(__imp_)?_([A-Z][A-Za-z0-9]*A)@[0-9]+$/\2/p' | sort -u)
streams=$($nm -C "${objects[@]}" 2>/dev/null | grep -E ' U ' |
          grep -E '(fstream|filebuf)<char, std::char_traits<char> >::(basic_[io]?fstream|open)\((char const\*|std::__cxx11::basic_string)' |
          sort -u || true)
crt=$($nm "${objects[@]}" 2>/dev/null | awk '$1 == "U" { print $2 }' |
      grep -E '^_+(imp__)?_?(fopen|freopen|open|stat|stat64|stati64|access|remove|rename|unlink|mkdir|rmdir|chdir|findfirst|findfirst64|getenv|system|popen|spawnv|execv)$' |
      sort -u || true)

status=0
echo "Narrow calls of the program's own code:"
for name in $ours; do
  reason=$(awk -F'\t' -v n="$name" '$1 == n { print $2 }' "$allowed")
  if [ -n "$reason" ]; then
    printf '  %-28s %s\n' "$name" "$reason"
  else
    printf '  %-28s NOT ALLOWED: it spells its text in the ANSI code page\n' "$name" >&2
    status=1
  fi
done
if [ -n "$crt" ]; then
  echo "Narrow file calls of the C runtime:" >&2
  echo "$crt" >&2
  status=1
fi
if [ -n "$streams" ]; then
  echo "Files opened by a narrow name through the C++ streams:" >&2
  echo "$streams" >&2
  status=1
fi
echo "Narrow calls of the C and C++ runtimes linked in (no text of the program passes through them):"
i686-w64-mingw32-objdump -p "$build/Morvane.exe" |
  awk '/DLL Name:/ { dll = $3 } /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print $3 }' |
  grep -E '^[A-Z][A-Za-z0-9]*A$' | sort -u | while read -r name; do
    if ! grep -qx "$name" <<<"$ours"; then printf '  %s\n' "$name"; fi
  done
exit $status

#!/bin/sh
# Makes a delay-import library from the system's import library: the same functions, bound by
# the runtime's delay-load helper on first call instead of by the loader at start.
# Usage: delay-import-lib.sh TRIPLE IMPORT_LIBRARY DLL OUTPUT
set -eu
triple=$1 library=$2 dll=$3 output=$4
# 32-bit names carry the C underscore after __imp_ and an @ suffix, which the import names lose.
case $triple in
  i686-*) imp=__imp__ kill=-k ;;
  *) imp=__imp_ kill= ;;
esac
{
  echo "LIBRARY $dll"
  echo EXPORTS
  "$triple-nm" -g "$library" | sed -n "s/^[0-9a-f]* I $imp\([A-Za-z_].*\)\$/\1/p" | sort -u
} >"$output.def"
rm -f "$output"
"$triple-dlltool" $kill -d "$output.def" -D "$dll" -y "$output"

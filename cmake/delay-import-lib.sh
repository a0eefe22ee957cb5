#!/bin/sh
# Makes an import library for LLD's delay loading from the system's import library: the same
# functions, in the short form that LLD can bind on first call instead of at start.
# Usage: delay-import-lib.sh TRIPLE IMPORT_LIBRARY DLL OUTPUT
set -eu
triple=$1 library=$2 dll=$3 output=$4
# 32-bit names carry the C underscore after __imp_ and an @ suffix, which the import names lose.
case $triple in
  i686-*) imp=__imp__ machine=i386 kill=-k ;;
  *) imp=__imp_ machine=i386:x86-64 kill= ;;
esac
{
  echo "LIBRARY $dll"
  echo EXPORTS
  "$triple-nm" -g "$library" | sed -n "s/^[0-9a-f]* I $imp\([A-Za-z_].*\)\$/\1/p" | sort -u
} >"$output.def"
llvm-dlltool -m $machine $kill -d "$output.def" -D "$dll" -l "$output"

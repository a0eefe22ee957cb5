#!/bin/sh
# Writes the .def of a planted DLL: every export of the system's DLL of that name, with its own
# ordinal (a nameless one stays nameless), each one of planted_dll.cpp's thunks in turn. With no
# system DLL of that name, the planted one exports nothing.
# Usage: make-def.sh OBJDUMP SYSTEM_DLL NAME OUTPUT
set -eu
objdump=$1 system=$2 name=$3 output=$4
{
  echo "LIBRARY $name"
  echo EXPORTS
  if [ -f "$system" ]; then
    "$objdump" -p "$system" | awk '
      /^Export Address Table -- Ordinal Base/ { base = $NF; part = 1; next }
      /^\[Ordinal\/Name Pointer\] Table/ { part = 2; next }
      /^$/ { if (part == 2) part = 0; next }
      part == 1 && /^\t\[ *[0-9]+\]/ { i = $0; sub(/^\t\[ */, "", i); sub(/\].*/, "", i)
                                       if ($0 !~ / 0+ Export RVA/) used[i] = 1; next }
      part == 2 && /^\t\[ *[0-9]+\]/ { i = $0; sub(/^\t\[ */, "", i); sub(/\].*/, "", i)
                                       named[i] = $NF; next }
      END {
        thunk = 0
        for (i = 0; i < 65536; i++) if (i in used) {
          if (i in named) printf "%s=planted_thunk%d @%d\n", named[i], thunk, base + i
          else printf "planted_thunk%d @%d NONAME\n", thunk, base + i
          thunk++
        }
        if (thunk > 512) { print "more exports than thunks" > "/dev/stderr"; exit 1 }
      }'
  fi
} >"$output"

#!/bin/sh
# Points the executable's load-configuration directory at the program's _load_config_used
# structure, which GNU ld (2.40) links in but leaves the header's directory empty for: Windows
# reads the dependent load flags only through that directory. The address comes from the link
# map; the directory's size is the structure's own first field. Fails if the symbol is missing.
# Usage: set-load-config.sh TRIPLE EXE MAP
set -eu
triple=$1 exe=$2 map=$3
objdump=$triple-objdump
symbol=_load_config_used  # as the map names it, without the 32-bit C underscore
address=$(awk -v s="$symbol" '$2 == s && $1 ~ /^0x/ { print $1; exit }' "$map")
[ -n "$address" ] || { echo "$exe: no $symbol in $map" >&2; exit 1; }
base=0x$($objdump -p "$exe" | awk '/^ImageBase/ { print $2 }')
rva=$((address - base))
size=$($objdump -s --start-address=$((address)) --stop-address=$((address + 4)) "$exe" |
       awk '/^ [0-9a-f]+ / { print $2; exit }')
# The structure's Size field, little-endian.
size=$((0x$(echo "$size" | sed -E 's/(..)(..)(..)(..)/\4\3\2\1/')))
[ "$size" -gt 0 ] || { echo "$exe: $symbol has no size" >&2; exit 1; }
le32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) \
                         $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
magic=$(od -An -tx2 -j$((pe + 24)) -N2 "$exe" | tr -d ' ')
case $magic in
  010b) directories=$((pe + 24 + 96)) ;;
  020b) directories=$((pe + 24 + 112)) ;;
  *) echo "$exe: not a PE image" >&2; exit 1 ;;
esac
{ le32 $rva; le32 $size; } | dd of="$exe" bs=1 seek=$((directories + 10 * 8)) conv=notrunc status=none

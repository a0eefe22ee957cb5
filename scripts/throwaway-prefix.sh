# Sourced by scripts that run Windows programs in a Wine prefix of their own: makes a fresh
# 64-bit prefix (so a 32-bit program sees the layout of 64-bit Windows), exports WINEPREFIX and
# WINEDEBUG, and removes the prefix when the calling script exits.
# Usage: source scripts/throwaway-prefix.sh NAME
throwaway_prefix=$(mktemp -d "/tmp/morvane-$1-prefix.XXXXXX")
remove_throwaway_prefix() {
  WINEPREFIX=$throwaway_prefix wineserver -k 2>/dev/null || true
  rm -rf "$throwaway_prefix"
}
trap remove_throwaway_prefix EXIT
bash "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$throwaway_prefix" win64
export WINEPREFIX=$throwaway_prefix WINEDEBUG=-all,err+module

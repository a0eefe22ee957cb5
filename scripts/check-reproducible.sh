#!/usr/bin/env bash
# Checks that the release is reproducible: makes it twice with scripts/release.sh, each time from
# its own copy of the work tree (its files as they are now, changes not yet committed included)
# in a temporary folder of a different name, once building inside the copy and once outside it,
# and compares Morvane.exe and the zip byte for byte. On a difference it shows the first bytes
# that differ (offset from 1, then the two bytes in octal) and keeps the folders for a closer look.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
work=$(mktemp -d)
status=1
trap '[ "$status" = 0 ] && rm -rf "$work"' EXIT

git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
  if [ -e "$f" ]; then printf '%s\0' "$f"; fi
done >"$work/files"
for copy in a second-copy; do
  mkdir -p "$work/$copy/src"
  tar -c --null -T "$work/files" | tar -x -C "$work/$copy/src"
done

bash "$work/a/src/scripts/release.sh" >"$work/a.log" 2>&1 || { cat "$work/a.log"; exit 1; }
bash "$work/second-copy/src/scripts/release.sh" --build "$work/second-copy/out/build" \
  --dist "$work/second-copy/out/dist" >"$work/b.log" 2>&1 || { cat "$work/b.log"; exit 1; }

zip_name=$(cd "$work/a/src/dist" && echo Morvane-*.zip)
same=0
compare() {  # NAME FILE1 FILE2
  if cmp -s "$2" "$3"; then
    echo "same bytes: $1 ($(stat -c %s "$2") bytes)"
    same=$((same + 1))
  else
    echo "DIFFERENT: $1, $(stat -c %s "$2") and $(stat -c %s "$3") bytes; the first differences:" >&2
    (cmp -l "$2" "$3" || true) | head -n 10 >&2
    echo "the two builds are kept in $work" >&2
  fi
}
compare Morvane.exe "$work/a/src/build/release/Morvane.exe" "$work/second-copy/out/build/Morvane.exe"
compare "$zip_name" "$work/a/src/dist/$zip_name" "$work/second-copy/out/dist/$zip_name"
[ "$same" = 2 ] && status=0
exit $status

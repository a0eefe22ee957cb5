#!/usr/bin/env bash
# Makes the download: a Release build of Morvane.exe (no symbols, no debug information, no build
# time), zipped with help.html and README.txt into dist/Morvane-VERSION.zip, and dist/SHA256SUMS
# with the SHA-256 of the zip and of the executable, which it prints at its end.
# One commit gives the same bytes on every build, in any folder: the zip's entries go in a fixed
# order, dated with the commit's time (or $SOURCE_DATE_EPOCH), with fixed modes and without the
# owner or the extra time stamps zip would otherwise add. scripts/check-reproducible.sh checks it.
#   --build DIR   the build folder, emptied first (default build/release)
#   --dist DIR    where the zip and SHA256SUMS go (default dist)
# Installs whatever is missing first (needs root on a fresh machine).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/release
dist=$top/dist
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(realpath -m "$2"); shift 2 ;;
    --dist) dist=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: release.sh [--build DIR] [--dist DIR]" >&2; exit 2 ;;
  esac
done
cd "$top"
bash scripts/setup-deps.sh

# The version is written once, in resources/Version.h.
version_part() { sed -n "s/^#define MORVANE_VERSION_$1 \([0-9][0-9]*\)$/\1/p" resources/Version.h; }
major=$(version_part MAJOR)
minor=$(version_part MINOR)
if [ -z "$major" ] || [ -z "$minor" ]; then
  echo "release.sh: no version found in resources/Version.h" >&2
  exit 1
fi
version=$major.$minor

# The zip's entries carry the commit's date. The build is not told it: the compiler and Debian's
# linker would take a date from $SOURCE_DATE_EPOCH, and hide a build that depends on its time.
zip_date=${SOURCE_DATE_EPOCH:-}
unset SOURCE_DATE_EPOCH
if git rev-parse --git-dir >/dev/null 2>&1; then
  : "${zip_date:=$(git log -1 --format=%ct)}"
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "release.sh: the work tree has changes that are not committed: this is not the" \
      "release of commit $(git rev-parse --short HEAD)" >&2
  fi
fi
if [ -z "$zip_date" ]; then
  echo "release.sh: not a git checkout: set SOURCE_DATE_EPOCH to the date of the source" >&2
  exit 1
fi

rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target Morvane

stage=$build/zip
mkdir -p "$stage" "$dist"
cp "$build/Morvane.exe" "$stage/Morvane.exe"
cp "$build/help.html" "$build/README.txt" "$stage/"
chmod 0755 "$stage/Morvane.exe"
chmod 0644 "$stage/help.html" "$stage/README.txt"
touch -d "@$zip_date" "$stage/Morvane.exe" "$stage/help.html" "$stage/README.txt"

zip_name=Morvane-$version.zip
rm -f "$dist/$zip_name" "$dist/SHA256SUMS"
# zip writes the entries' times as local time: UTC makes them the same on every machine.
(cd "$stage" && TZ=UTC zip -X -D -q -9 "$dist/$zip_name" Morvane.exe help.html README.txt)
{
  (cd "$dist" && sha256sum "$zip_name")
  (cd "$stage" && sha256sum Morvane.exe)
} >"$dist/SHA256SUMS"

echo "Morvane $version: $dist/$zip_name ($(stat -c %s "$dist/$zip_name") bytes)" \
  "and $dist/SHA256SUMS:"
cat "$dist/SHA256SUMS"

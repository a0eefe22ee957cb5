#!/usr/bin/env bash
# Builds everything and runs every test: the rules natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the two-thread test under ThreadSanitizer, then the 32-bit Windows
# build's tests under Wine (in a throwaway prefix, windows on Xvfb), checks that the 64-bit
# Windows build compiles and that the release (scripts/release.sh) is reproducible.
# Installs whatever is missing first (needs root on a fresh machine).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup-deps.sh

jobs=${JOBS:-2}
echo "== native build (sanitizers) =="
cmake -S . -B build/native -DMORVANE_SANITIZE=ON -DMORVANE_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure

echo "== two threads on one registry, under ThreadSanitizer =="
cmake -S . -B build/tsan -DMORVANE_TSAN=ON -DMORVANE_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/tsan -j"$jobs" --target concurrency_tests
build/tsan/tests/concurrency_tests

echo "== fuzzing the path rules (short round) =="
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

echo "== 32-bit Windows build =="
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DMORVANE_TESTS=ON -DMORVANE_WERROR=ON >/dev/null
cmake --build build/win32 -j"$jobs"
# At start only KnownDLLs, which Windows always takes from its own folder. Every other system DLL
# (the common controls too) is loaded from the system folder when first needed, after the DLL search is
# restricted. The load configuration names the dependent load flags LOAD_LIBRARY_SEARCH_SYSTEM32
# (0x0800, the WORD at 0x36), and the header points at it.
objdump=i686-w64-mingw32-objdump
exe=build/win32/Morvane.exe
if $objdump -p $exe | grep 'DLL Name' |
    grep -v -i -x -E '\s*DLL Name: (kernel32|user32|gdi32|advapi32|msvcrt)\.dll'; then
  echo "Morvane.exe imports at start a DLL that is not a KnownDLL" >&2
  exit 1
fi
read -r config_rva config_size < <($objdump -p $exe | awk '/^Entry a /{ print $3, $4 }')
image_base=$($objdump -p $exe | awk '/^ImageBase/{ print $2 }')
flags_at=$((0x$image_base + 0x$config_rva + 0x36))
flags=$($objdump -s --start-address=$flags_at --stop-address=$((flags_at + 2)) $exe |
        awk '/^ [0-9a-f]+ /{ print $2; exit }')
if [ $((0x$config_size)) -lt $((0x38)) ] || [ "$flags" != 0008 ]; then
  echo "Morvane.exe: load configuration '$config_rva $config_size', dependent load flags" \
    "'$flags' (want 0008)" >&2
  exit 1
fi
echo "== narrow calls left, with their reasons =="
bash scripts/check-narrow-calls.sh build/win32

echo "== 64-bit Windows build (compile only) =="
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake -DMORVANE_WERROR=ON >/dev/null
cmake --build build/win64 -j"$jobs"

echo "== the release: two builds of it in two folders give the same bytes =="
bash scripts/check-reproducible.sh

# Wine takes its ANSI code page from the locale the prefix starts in: every Windows test runs
# once with Western European text (1252) and once with Japanese (932), whose double-byte
# characters can end in the backslash's byte. The locales are made in a folder of our own.
locales=$(mktemp -d /tmp/morvane-locales.XXXXXX)
trap 'rm -rf "$locales"' EXIT
localedef -i en_US -f UTF-8 "$locales/en_US.UTF-8"
localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8"
run_wine_tests() {  # LOCALE CODE_PAGE
  ( export LOCPATH=$locales LC_ALL=$1
    source scripts/throwaway-prefix.sh "test-$2"
    acp=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
          tr -d '\r' | awk '$1 == "ACP" { print $3 }')
    wineserver -k
    if [ "$acp" != "$2" ]; then
      echo "the prefix for $1 has code page '$acp', not $2" >&2
      exit 1
    fi
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
      wineserver -p </dev/null >/dev/null 2>&1
      wine wineboot </dev/null >/dev/null 2>&1
      ctest --test-dir build/win32 --output-on-failure -j2; rc=$?
      wineserver -k
      exit $rc' )
}
echo "== tests under Wine, code page 1252 =="
run_wine_tests en_US.UTF-8 1252
echo "== tests under Wine, code page 932 =="
run_wine_tests ja_JP.UTF-8 932
echo "All tests passed."

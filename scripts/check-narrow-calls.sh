#!/usr/bin/env bash
# Fails when the program makes a call that spells text in the ANSI code page, or could: every
# system call it makes must be the wide (UTF-16) one. Two looks, so that neither a macro nor a
# name looked up at run time slips through:
#  - the program's sources: any name the system headers give in a narrow form beside a wide twin
#    (MessageBoxA, lstrcpyA, wsprintfA, LVITEMA, LVM_SETITEMTEXTA ...), in code or in a string (a
#    function looked up by its name), the narrow calls that have no "A" in their names (WinExec,
#    OpenFile ...), and std::filesystem, whose paths made from char text are converted in the
#    ANSI code page;
#  - the program's object files: every function they call, decorated or not, that is such a name,
#    one of the C runtime's narrow file, folder, process and environment functions, a file stream
#    opened by a narrow name, or anything of std::filesystem.
# A name listed in scripts/narrow-calls.txt, with the reason it is safe, is allowed. An object
# or library that cannot be read fails the check by name. The narrow calls that the C and C++
# runtimes linked in make with no text of the program are listed for reading.
# Usage: check-narrow-calls.sh BUILD_DIR
set -euo pipefail
export LC_ALL=C
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/win32}
nm=i686-w64-mingw32-nm
headers=/usr/share/mingw-w64/include
allowed=$top/scripts/narrow-calls.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "$*" >&2
  status=1
}

# Names with an A form and a W form in the headers: the A forms, three characters or longer.
cat "$headers"/*.h | grep -oE '\b[A-Za-z_][A-Za-z0-9_]*[AW]\b' | sort -u >"$work/aw"
comm -12 <(sed -n 's/A$//p' "$work/aw" | sort -u) <(sed -n 's/W$//p' "$work/aw" | sort -u) |
  awk 'length($0) >= 2 { print $0 "A" }' >"$work/narrow"
# Narrow calls whose names do not end in A.
printf '%s\n' WinExec OpenFile _lopen _lcreat LoadModule >>"$work/narrow"
sort -u -o "$work/narrow" "$work/narrow"
# The C runtime's functions that take or give a path, a command or the environment as char text.
crt='^_?(fopen|fopen_s|freopen|freopen_s|fsopen|sopen|sopen_s|open|creat|stat|stat32|stat64|stati64|stat32i64|stat64i32|fstat|access|access_s|remove|rename|unlink|mkdir|rmdir|chdir|getcwd|getdcwd|findfirst|findfirst32|findfirst64|findfirsti64|findnext|findnext32|findnext64|findnexti64|getenv|getenv_s|dupenv_s|putenv|putenv_s|system|popen|spawnl|spawnle|spawnlp|spawnlpe|spawnv|spawnve|spawnvp|spawnvpe|execl|execle|execlp|execlpe|execv|execve|execvp|execvpe|tmpnam|tmpnam_s|tempnam|mktemp|mktemp_s|opendir|fullpath|chmod|utime|utime32|utime64|loaddll|searchenv|searchenv_s)$'
allowedNames() { grep -v '^#' "$allowed" | cut -f1 | sed '/^$/d'; }

echo "Narrow names in the program's sources:"
sources=$(cd "$top" && git ls-files 'platform/*' 'CleanReg/*' 'MainFrm/*' 'ZelButton/*' 'AboutU/*' \
                                     'resources/*' | grep -E '\.(cpp|h|rc)$')
found=0
while IFS= read -r hit; do
  [ -n "$hit" ] || continue
  fail "  $hit"
  found=1
done < <(cd "$top" && { grep -HnoE '\b[A-Za-z_][A-Za-z0-9_]*\b' $sources |
                         awk -F: 'NR == FNR { narrow[$0] = 1; next } ($3 in narrow)' "$work/narrow" - |
                         grep -v -w -F -f <(allowedNames; echo '#none#')
                       grep -HnE 'std::filesystem|<filesystem>' $sources; } || true)
[ "$found" = 0 ] && echo "  none"

echo "Narrow calls of the program's object files:"
objects=()
for lib in morvane_core morvane_platform morvane_ui; do objects+=("$build/lib$lib.a"); done
while IFS= read -r -d '' object; do objects+=("$object"); done < \
  <(find "$build/CMakeFiles/Morvane.dir" -name '*.obj' -print0 2>/dev/null)
[ -d "$build/CMakeFiles/Morvane.dir" ] || fail "  cannot read $build/CMakeFiles/Morvane.dir"
: >"$work/undefined"
for object in "${objects[@]}"; do
  if ! $nm "$object" >"$work/one" 2>"$work/error"; then
    fail "  cannot read $object: $(head -1 "$work/error")"
    continue
  fi
  awk '$1 == "U" { print $2 }' "$work/one" >>"$work/undefined"
  $nm -C "$object" 2>/dev/null | awk '$1 == "U"' | sed 's/^ *U //' >>"$work/undefined.demangled"
done
# x86 decoration: __imp_ for an import, a leading underscore, @N for stdcall.
sed -E 's/^__imp_//; s/^_//; s/@[0-9]+$//' "$work/undefined" | sort -u >"$work/called"
found=0
for name in $(grep -x -F -f "$work/narrow" "$work/called" | grep -v -x -F -f <(allowedNames; echo '#none#') || true) \
            $(grep -E "$crt" "$work/called" || true); do
  fail "  $name NOT ALLOWED: it spells its text in the ANSI code page"
  found=1
done
while IFS= read -r symbol; do
  [ -n "$symbol" ] || continue
  fail "  $symbol NOT ALLOWED: a narrow path or file name"
  found=1
done < <(grep -E 'std::filesystem|(fstream|filebuf)<char, std::char_traits<char> >::(basic_[io]?fstream|open)\((char const\*|std::__cxx11::basic_string)' \
           "$work/undefined.demangled" 2>/dev/null | sort -u || true)
[ "$found" = 0 ] && echo "  none"

echo "Narrow calls of the C and C++ runtimes linked in (no text of the program passes through them):"
if ! i686-w64-mingw32-objdump -p "$build/Morvane.exe" >"$work/exe" 2>"$work/error"; then
  fail "  cannot read $build/Morvane.exe: $(head -1 "$work/error")"
else
  awk '/^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print $3 }' "$work/exe" | sort -u |
    grep -x -F -f "$work/narrow" | grep -v -x -F -f "$work/called" | sed 's/^/  /' || true
fi
exit $status

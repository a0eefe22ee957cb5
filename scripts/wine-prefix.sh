#!/usr/bin/env bash
# Makes a Wine prefix ready for Morvane: created when missing, Wine's own fonts copied in, and
# the faces the program asks for (Verdana, Arial, MS Sans Serif ...) mapped to installed ones.
# Usage: wine-prefix.sh PREFIX [win32|win64]
set -euo pipefail
prefix=$1
arch=${2:-win64}
export WINEPREFIX=$prefix WINEDEBUG=-all,err+module
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  WINEARCH=$arch wineboot -i </dev/null >/dev/null 2>&1
fi
mkdir -p "$prefix/drive_c/windows/Fonts"
cp -n /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf \
         /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf \
         /usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf; do
  [ -f "$f" ] && cp -n "$f" "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
done
reg_file=$(mktemp --suffix=.reg)
cat > "$reg_file" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Verdana"="DejaVu Sans"
"Arial"="Liberation Sans"
"Tahoma"="DejaVu Sans"
REG
if [ "${MORVANE_VIRTUAL_DESKTOP:-1}" = 1 ]; then
  # Windows live inside one virtual desktop window: Wine then draws frames and title bars, and
  # does not wait for a window manager that Xvfb does not have.
  cat >> "$reg_file" <<'REG'

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
fi
wine regedit /S "$(winepath -w "$reg_file")" </dev/null >/dev/null 2>&1
rm -f "$reg_file"
# Nothing of the set-up may stay running: the next start must see the display it is given.
wineserver -k 2>/dev/null || true

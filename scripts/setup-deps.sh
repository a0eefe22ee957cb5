#!/usr/bin/env bash
# Installs whatever is missing for building Morvane, running it and its tests under Wine and zipping
# its release.
# Safe to run again: packages already present are left alone. Needs root on a fresh machine.
set -euo pipefail

pkgs=(cmake make g++ googletest clang libclang-rt-14-dev locales
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      wine wine64 wine32:i386 xvfb xdotool x11-apps imagemagick
      fonts-wine fonts-liberation fonts-dejavu-core zip)

missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, and makes
# the project's own Wine prefix once. Safe to run again: it only does what
# is missing.
set -euo pipefail

build_dir=${1:-build}
prefix="$(cd "$(dirname "$build_dir")" && pwd)/$(basename "$build_dir")/wineprefix"

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb x11-apps x11-utils xauth xdotool imagemagick
  fonts-wqy-zenhei cmake make googletest locales
  clang libclang-rt-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-i686 mingw-w64-i686-dev wine32:i386
  nsis fp-utils p7zip-full
)

# 32-bit Windows programs (the x86 filter library and its tests) need wine32.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine needs a zh_CN.UTF-8 libc locale for code page 936 and Chinese file names.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  $sudo_cmd locale-gen >/dev/null
fi

if [ ! -f "$prefix/.mossgrave-ready" ]; then
  echo "setup: creating Wine prefix $prefix"
  rm -rf "$prefix"
  mkdir -p "$prefix"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  wineboot -i >/dev/null 2>&1 || true
  # Unmanaged windows: without a window manager Wine otherwise waits on every show and hide.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.mossgrave-ready"
fi

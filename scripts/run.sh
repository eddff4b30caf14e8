#!/usr/bin/env bash
# `make run`: starts Mossgrave.exe in a Wine virtual desktop (so the tray
# icon has a place), with the build's own prefix and the Chinese code page.
# Uses $DISPLAY when there is one, else a fresh Xvfb.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
exe="$build/Mossgrave.exe"
[ -f "$exe" ] || { echo "run: $exe is missing; build first" >&2; exit 1; }

# Wine maps Z: to the root; winepath would boot a Wine process just for this.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  # A display number nobody uses yet.
  for n in $(seq 80 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  export DISPLAY=":$n"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 1 50); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    sleep 0.1
  done
  echo "run: no DISPLAY; running on a fresh Xvfb $DISPLAY (watch it with a VNC server or take xwd shots)"
fi

echo "run: starting Mossgrave on $DISPLAY (first start shows the initial password 480273)"
cd "$root"
wine explorer /desktop=mossgrave,1024x768 "$(winpath "$exe")"

#!/usr/bin/env bash
# `make run`: starts Mossgrave.exe in a Wine virtual desktop (so the tray
# icon has a place), with the build's own prefix and the Chinese code page.
# Uses $DISPLAY when there is one, else a fresh Xvfb.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
exe="$build/Mossgrave.exe"
[ -f "$exe" ] || { echo "run: $exe is missing; build first" >&2; exit 1; }

. "$root/scripts/wine-common.sh"
use_wine_prefix "$build"

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  start_private_xvfb 80 99
  echo "run: no DISPLAY; running on a fresh Xvfb $DISPLAY (watch it with a VNC server or take xwd shots)"
fi

echo "run: starting Mossgrave on $DISPLAY (first start shows the initial password 480273)"
cd "$root"
wine explorer /desktop=mossgrave,1024x768 "$(winpath "$exe")"

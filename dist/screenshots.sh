#!/usr/bin/env bash
# Pictures of the setup program and the uninstaller for the README, taken
# in a throw-away prefix: the welcome and last pages of the setup, and the
# uninstaller's password prompt.
# Usage: screenshots.sh <build dir>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$(cd "$1" && pwd)"
version=$(sed -n 's/^#define HALVENOR_VERSION_TEXT "\(.*\)"$/\1/p' "$root/src/res/version.h")
source "$root/scripts/wine-common.sh"
use_wine_prefix "$build/shot"
prefix="$WINEPREFIX"
start_private_xvfb 90 120
cleanup() { wineserver -k 2>/dev/null || true; kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$prefix"; }
trap cleanup EXIT
rm -rf "$prefix"
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w

shot() { sleep "$2"; import -window root png:- | convert - -trim +repage "$root/screenshots/$1"; }
wait_window() {
  for _ in $(seq 1 100); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

wine "$build/dist/Halvenor-setup-$version.exe" >/dev/null 2>&1 &
wait_window "Halvenor"
shot 11-setup-welcome.png 2
xdotool key Return   # welcome -> folder
sleep 1
xdotool key Return   # folder -> install -> last page
shot 12-setup-finish.png 4
# Without the tick: the program would otherwise start here.
xdotool key space
xdotool key Return
wineserver -w

wine "C:\\Program Files\\Halvenor\\unins000.exe" >/dev/null 2>&1 &
wait_window "密码验证"
shot 13-uninstall-password.png 1
xdotool key Escape
wineserver -w

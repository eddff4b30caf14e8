#!/usr/bin/env bash
# `make screenshots`: saves PNGs of the program's views into screenshots/.
# Runs on a private Xvfb inside a Wine virtual desktop; the tour in
# e2e_tests.exe drives the program and asks for each capture through files
# in a shared folder. The prefix's settings files are put back afterwards.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/screenshots"
driver="$build/e2e_tests.exe"
[ -f "$driver" ] && [ -f "$build/Mossgrave.exe" ] || { echo "screenshots: build first" >&2; exit 1; }

. "$root/scripts/wine-common.sh"
use_wine_prefix "$build"

sys32="$WINEPREFIX/drive_c/windows/system32"
settings=("$sys32/nf.cfg" "$sys32/drivers/spinf.sys")

work=$(mktemp -d /tmp/mossgrave-shots.XXXXXX)
mkdir -p "$work/sync" "$work/saved" "$out"
xvfb_pid=""
tour_pid=""

cleanup() {
  [ -n "$tour_pid" ] && kill "$tour_pid" 2>/dev/null || true
  # Put the prefix's settings back as they were before the tour.
  for f in "${settings[@]}"; do
    rm -f "$f"
    [ -f "$work/saved/$(basename "$f")" ] && cp -p "$work/saved/$(basename "$f")" "$f"
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for f in "${settings[@]}"; do
  [ -f "$f" ] && cp -p "$f" "$work/saved/"
done

# A private display: the captures must show nothing but the tour.
start_private_xvfb 90 120

MOSSGRAVE_SHOT_DIR="$work/sync" wine explorer /desktop=mossgrave-shots,1024x768 "$(winpath "$driver")" \
  --gtest_also_run_disabled_tests --gtest_filter='DISABLED_ScreenshotTour.*' --gtest_color=no \
  >"$work/tour.log" 2>&1 &
tour_pid=$!

# Serve capture requests until the tour ends (bounded: 3 minutes).
deadline=$((SECONDS + 180))
count=0
while :; do
  for want in "$work/sync"/*.want; do
    [ -e "$want" ] || continue
    name=$(basename "$want" .want)
    if [[ $name == *tray-menu ]]; then
      # A real right click on the notification-area icon (bottom right): a
      # menu opened by a posted message is not painted under Xvfb.
      xdotool mousemove 1013 757 click 3
      sleep 1
    fi
    xwd -root -display "$DISPLAY" | /usr/bin/convert xwd:- "png:$out/$name.png"
    rm -f "$want"
    touch "$work/sync/$name.done"
    echo "screenshots: $out/$name.png"
    count=$((count + 1))
  done
  # The desktop's explorer outlives the tour; the log says when it is over.
  grep -q '^\[  \(PASSED\|FAILED\)  \]' "$work/tour.log" 2>/dev/null && break
  kill -0 "$tour_pid" 2>/dev/null || break
  if [ $SECONDS -ge $deadline ]; then
    echo "screenshots: the tour took too long" >&2
    break
  fi
  sleep 0.1
done

sleep 0.5
if ! grep -q '^\[  PASSED  \]' "$work/tour.log"; then
  echo "screenshots: the tour did not finish cleanly ($count shots); its log:" >&2
  cat "$work/tour.log" >&2
  exit 1
fi
echo "screenshots: $count PNGs in $out"

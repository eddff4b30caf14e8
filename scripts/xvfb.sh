#!/usr/bin/env bash
# Starts an Xvfb server on the given display unless one already answers.
display=${1:-:77}
num=${display#:}
exec 9>"/tmp/.mossgrave-xvfb-$num.lock"
flock 9
if [ ! -S "/tmp/.X11-unix/X$num" ] || ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  rm -f "/tmp/.X$num-lock" "/tmp/.X11-unix/X$num"
  setsid Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
  for _ in $(seq 1 50); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
  done
fi

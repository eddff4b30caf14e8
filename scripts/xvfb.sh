#!/usr/bin/env bash
# Starts an Xvfb server on the given display unless one already answers.
display=${1:-:77}
num=${display#:}
answers() { [ -S "/tmp/.X11-unix/X$num" ] && xdpyinfo -display "$display" >/dev/null 2>&1; }
answers && exit 0
exec 9>"/tmp/.mossgrave-xvfb-$num.lock"
# Bounded wait: an old server started while holding the lock may keep it.
flock -w 20 9
if ! answers; then
  rm -f "/tmp/.X$num-lock" "/tmp/.X11-unix/X$num"
  # 9>&-: the server must not inherit the lock, or it holds it for its lifetime.
  setsid Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 < /dev/null 9>&- &
  for _ in $(seq 1 50); do
    answers && break
    sleep 0.1
  done
fi

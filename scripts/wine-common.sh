# Shared by run.sh and screenshots.sh (sourced, not run).

# Wine maps Z: to the root; winepath would boot a Wine process just for this.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# The build's prefix, quiet, with the Chinese code page.
use_wine_prefix() {
  export WINEPREFIX="$1/wineprefix"
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
}

# Starts an Xvfb on the first free display in [first, last]; sets DISPLAY
# and xvfb_pid, and waits until the server answers.
start_private_xvfb() {
  local n
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  export DISPLAY=":$n"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 1 50); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    sleep 0.1
  done
}

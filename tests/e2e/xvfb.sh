# shellcheck shell=bash
# A private virtual X server for the e2e scripts. Source it, then:
#   xvfb_require TOOL...   exits 77 (skipped) when Xvfb, xdotool or a TOOL is missing, 1 with CI set
#   xvfb_start WxH LOG     starts Xvfb on a free display, exports DISPLAY; returns 1 with a message
#   xvfb_stop              ends the server started here (call it from the script's EXIT trap)
# Two test runs may look for a free display at the same moment (parallel ctest runs in other
# build trees): a display counts as ours only once its lock file holds our server's process id
# and a client has connected to it, so a server that lost the race is never mistaken for ours.

xvfb_pid=""

xvfb_require() {
  local tool
  for tool in Xvfb xdotool "$@"; do
    if ! command -v "$tool" > /dev/null; then
      echo "SKIPPED: $tool is not installed"
      [ -n "${CI:-}" ] && exit 1
      exit 77
    fi
  done
}

# True when display $1 is served by process $2 and accepts a client.
xvfb_ready() {
  local display=$1 pid=$2 owner
  [ -S "/tmp/.X11-unix/X$display" ] || return 1
  owner=$(tr -d ' \n' < "/tmp/.X$display-lock" 2> /dev/null) || return 1
  [ "$owner" = "$pid" ] || return 1
  DISPLAY=:$display xdotool getdisplaygeometry > /dev/null 2>&1
}

xvfb_start() {
  local size=$1 log=$2 display tries first=90 last=190
  for display in $(seq "$first" "$last"); do
    # A lock without a socket (or the reverse) is a server starting, ending or left behind.
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp > "$log" 2>&1 &
    xvfb_pid=$!
    for tries in $(seq 100); do  # ten seconds: sanitizer and loaded machines start slowly
      if xvfb_ready "$display" "$xvfb_pid"; then
        export DISPLAY=:$display
        return 0
      fi
      kill -0 "$xvfb_pid" 2> /dev/null || break  # lost the display to another server
      sleep 0.1
    done
    [ "$tries" -eq 100 ] && echo "Xvfb :$display did not accept a client within 10 s; trying the next display"
    xvfb_stop
  done
  echo "no virtual X server could start on displays :$first to :$last (last log: $(tail -n 3 "$log" 2> /dev/null))"
  return 1
}

xvfb_stop() {
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2> /dev/null || true
  wait "$xvfb_pid" 2> /dev/null || true
  xvfb_pid=""
}

#!/usr/bin/env bash
# xvfb.sh under contention: three scripts start their virtual X servers at the same moment.
# Each must end up on a display of its own, served by its own process and accepting
# clients; once stopped, nothing of its server is left in /tmp.
# Usage: xvfb_test.sh      (77 when Xvfb or xdotool is missing; 1 with CI set)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/xvfb.sh
source "$here/xvfb.sh"
xvfb_require

tmp=$(mktemp -d)
trap 'wait 2> /dev/null; rm -rf "$tmp"' EXIT
runs=3

# One contender: start, hold the server until every contender has one, check it, stop.
contend() {
  local n=$1 display
  trap xvfb_stop EXIT
  xvfb_start 320x200 "$tmp/xvfb$n.log" || return 1
  display=${DISPLAY#:}
  echo "$display" > "$tmp/display$n"
  for _ in $(seq 200); do
    [ "$(cat "$tmp"/display* 2> /dev/null | wc -l)" -ge "$runs" ] && break
    sleep 0.1
  done
  [ "$(tr -d ' \n' < "/tmp/.X$display-lock")" = "$xvfb_pid" ] ||
    { echo "contender $n: display :$display is not served by its own server"; return 1; }
  xdotool getdisplaygeometry > /dev/null || { echo "contender $n: :$display refuses clients"; return 1; }
  xvfb_stop
  if [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; then
    echo "contender $n: :$display left its lock or socket behind"
    return 1
  fi
}

pids=()
for n in $(seq "$runs"); do
  contend "$n" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
[ "$status" -eq 0 ] || { echo "FAIL: a contender did not get a working display"; exit 1; }

displays=$(cat "$tmp"/display* | sort -u | wc -l)
[ "$displays" -eq "$runs" ] || { echo "FAIL: $runs servers shared $displays displays"; exit 1; }
echo "$runs servers started at once on displays $(cat "$tmp"/display* | sort -n | tr '\n' ' ')"

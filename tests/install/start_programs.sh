#!/usr/bin/env bash
# Starts an installed Quillon as a new user would, in a throw-away home: the soils map
# (offscreen) sets the user up on its first start, opens the sample and starts the viewer
# linked to it; closing the map ends the viewer. Then the installed tools rate the sample
# and write a report, and the user's registrations name the installed libraries. Last, the
# viewer started alone sets up a second new user.
# Usage: start_programs.sh BIN_DIR PRIVATE_LIBRARY_DIR
set -u
bin=$1 libraries=$2
work=$(mktemp -d)
map_pid= viewer_pid=
cleanup() {
  for pid in $map_pid $viewer_pid; do kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail_logs=(map.log)
# shellcheck source=tests/support/fail_wait.sh
source "$(dirname "$0")/../support/fail_wait.sh"

export HOME=$work/home XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
export QT_QPA_PLATFORM=offscreen QUILLON_NO_OPEN=1 QUILLON_CONTACT_FILE=$work/no-contact.vcf
unset QUILLON_REGISTRY_ROOT QUILLON_DDE_DIR DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

for program in quillon quillon-map quillon-rate quillon-import quillon-sample quillon-setup quillon-dde; do
  "$bin/$program" --version > "$work/version" 2>&1 || fail "$program --version: $(cat "$work/version")"
done

viewer_serving() { "$bin/quillon-dde" --timeout 1000 Quillon messageToVB "" 2>/dev/null; [ $? -ne 2 ]; }
"$bin/quillon-map" --start-quillon > "$work/map.log" 2>&1 &
map_pid=$!
wait_until 600 viewer_serving || fail "the map did not start the viewer"
kill -TERM "$map_pid"
wait "$map_pid" || fail "the map ended with status $?"
map_pid=
wait_until 300 eval '! viewer_serving' || fail "the viewer did not end with the map"
# Ended, not only gone from the link: a viewer left behind would hold the next start.
viewer_running() { pgrep -f "^$bin/quillon .*$work" >/dev/null; }
wait_until 300 eval '! viewer_running' || fail "the viewer stopped serving but is still running"

data=$XDG_DATA_HOME/quillon
"$bin/quillon-setup" --check > "$work/check" 2>&1 || fail "the first start left something out: $(cat "$work/check")"
grep -rqF "$libraries/libQLN2000.so" "$XDG_DATA_HOME" ||
  fail "the engine is not registered with the installed library $libraries/libQLN2000.so"
if [ -e "$bin/../share/applications/com.kelvaro.Quillon.desktop" ] && [ -e "$XDG_DATA_HOME/applications/quillon.desktop" ]; then
  fail "the user got a menu entry of their own, which hides the installed ones"
fi
"$bin/quillon-rate" --soils "$data/soils/sample.mdb" --attribute PHY_CLAY --method "Dominant Soil" \
  --top 0 --bottom 50 --output "$work/ratings.csv" --report "$work/ratings.docx" 2> "$work/rate.log" ||
  fail "quillon-rate: $(cat "$work/rate.log")"
[ "$(wc -l < "$work/ratings.csv")" -gt 100 ] || fail "the sample's ratings: $(head "$work/ratings.csv")"
[ -s "$work/ratings.docx" ] || fail "no rating report"
export XDG_DATA_HOME=$work/second-user
"$bin/quillon" > "$work/viewer.log" 2>&1 &
viewer_pid=$!
set_up() { "$bin/quillon-setup" --check > /dev/null 2>&1; }
wait_until 300 set_up || fail "the viewer's first start did not set the user up: $(cat "$work/viewer.log")"
kill -TERM "$viewer_pid"
wait "$viewer_pid"
viewer_pid=
echo "started the map and the viewer from $bin, rated $(($(wc -l < "$work/ratings.csv") - 1)) map units"

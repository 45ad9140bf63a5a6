#!/usr/bin/env bash
# The viewer and the soils map as two real processes, offscreen. The map starts the viewer
# with the quoted "folder|attribute file" argument of the sample soils theme; the viewer asks
# the map, through its link, to show a rating column that quillon-rate wrote into MU_Data;
# the map draws it with classes that match the column's values; the viewer's reset button
# removes it; closing the map (SIGTERM, as a session end does) sends EXIT and the viewer
# ends with status 0; no socket of either is left behind.
# With SCREENSHOT.png the two run side by side under a virtual X server instead, and a
# picture of both is taken while the theme is shown (Xvfb, xdotool and ImageMagick).
# Usage: viewer_map_link.sh BIN_DIR [SCREENSHOT.png]
set -u
bin=$(cd "$1" && pwd) shot=${2:-}
# shellcheck source=tests/e2e/xvfb.sh
source "$(dirname "$0")/xvfb.sh"
# shellcheck source=tests/e2e/drainage_column.sh
source "$(dirname "$0")/drainage_column.sh"
here=$(cd "$(dirname "$0")" && pwd)
. "$here/linked_session.sh"
if [ -n "$shot" ]; then
  unset QT_QPA_PLATFORM
  xvfb_require import
  xvfb_start 1920x760 "$work/xvfb.log" || fail "no virtual X server"
  extra_pids+=("$xvfb_pid")
fi
start_linked_session

# Started with the quoted argument of the sample soils theme.
expected="started: $work/viewer \"$data/soils|sample_soils.dbf\""
grep -qxF "$expected" "$work/map.log" || fail "the viewer was not started with $expected"

# Linked: it serves messageToVB (an empty command is refused, exit 1; 2 means no server).
"$bin/quillon-dde" --timeout 1000 Quillon messageToVB "" 2>/dev/null
[ $? -eq 1 ] || fail "the viewer does not serve Quillon|messageToVB"
grep -q "No program serves" "$work/viewer.log" "$work/state/quillon/AMBApps2.log" 2>/dev/null &&
  fail "the viewer says the GIS link is unavailable"

# The rating the process button stores: quillon-rate's column in the working MU_Data.
write_drainage_column "$bin" "$data/soils/sample.mdb" "$data/quillon-rules.sqlite" "$results" ||
  fail "writing DRAIN_DC into MU_Data"

driver "DISPLAY WAT_DRAIN|Dominant Condition|DRAIN_DC" || fail "Refresh_DDE_Data"
wait_until 300 grep -q '^shown: ' "$work/map.log" || fail "the map shows no theme"
shown=$(grep '^shown: ' "$work/map.log")
[[ $shown == 'shown: "Drainage Class - Dominant Condition" from DRAIN_DC:'* ]] ||
  fail "theme title or column: $shown"
# The legend's classes that colour polygons are exactly the column's values (plus
# "Not rated" for map units without one); nothing falls outside the legend.
drawn=$(sed 's/^[^:]*:[^:]*: //' <<<"$shown" | tr ';' '\n' | sed 's/^ //' |
        grep -v ' (0)$' | sed 's/ ([0-9]*)$//' | grep -vx 'Not rated' | sort)
values=$(sqlite3 "$results" "SELECT DISTINCT DRAIN_DC FROM MU_Data WHERE DRAIN_DC IS NOT NULL" | sort)
[ -n "$values" ] || fail "quillon-rate gave no drainage classes"
[ "$drawn" = "$values" ] || fail "legend classes drawn: [$drawn], column values: [$values]"
grep -q 'Other values' <<<"$shown" && fail "ratings outside the legend: $shown"
if [ -n "$shot" ]; then
  # No window manager: the map at the left, the viewer beside it, then let both paint.
  map_window=$(xdotool search --name '^ArcView GIS' | head -n 1)
  viewer_window=$(xdotool search --name '^Quillon$' | head -n 1)
  [ -n "$map_window" ] && [ -n "$viewer_window" ] || fail "the two windows are not both shown"
  xdotool windowsize "$map_window" 1100 760 windowmove "$map_window" 0 0
  xdotool windowsize "$viewer_window" 810 760 windowmove "$viewer_window" 1110 0
  sleep 1
  # Identify one map unit, so the picture shows its rating beside the legend.
  xdotool mousemove --window "$map_window" 500 400 click 1
  sleep 2
  import -window root "$shot" || fail "screenshot"
fi
value=$(find "$QUILLON_REGISTRY_ROOT" -iname 'v-enableqlndialog*' -exec cat {} + 2>/dev/null)
[[ $value == *Y ]] || fail "EnableQLNDialog is not Y while the rating theme is active: '$value'"

# "Delete Temporary Themes" sends the clean-up script.
driver RESET || fail "the reset button"
wait_until 300 grep -q '^removed 1 rating theme' "$work/map.log" || fail "the clean-up did not remove the theme"
grep -q '^refused: ' "$work/map.log" && fail "the map refused a script call"

# Closing the map ends the viewer: EXIT, then exit status 0 of both.
kill -TERM "$map_pid"
wait "$map_pid"; map_status=$?
map_pid=
[ "$map_status" -eq 0 ] || fail "the map ended with status $map_status"
wait_until 300 test -s "$work/viewer.status" || fail "the viewer did not end after EXIT"
[ "$(cat "$work/viewer.status")" = 0 ] || fail "the viewer ended with status $(cat "$work/viewer.status")"
rm -f "$work/viewer.pid"
left=$(find "$XDG_RUNTIME_DIR" -type s)
[ -z "$left" ] || fail "sockets left behind: $left"
echo "viewer and map: started linked, theme shown with the column's classes, removed, EXIT ended the viewer"

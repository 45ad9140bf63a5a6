#!/usr/bin/env bash
# The soils map under a virtual X server, used as a person uses it: a rating theme drawn
# over the link is converted with Theme > Convert to Shapefile... (keys typed into the real
# menu and save dialog), the new shapefile appears as a permanent theme and is made active,
# a picture is taken,
# and the viewer's clean-up leaves the converted theme and its files in place.
# Usage: map_convert_screenshot.sh BIN_DIR SHARE_DIR OUTPUT.png
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or sqlite3 is missing, unless CI is set.
set -euo pipefail
bin=$(cd "$1" && pwd) share=$2 out=$3

# shellcheck source=tests/e2e/xvfb.sh
source "$(dirname "$0")/xvfb.sh"
# shellcheck source=tests/e2e/drainage_column.sh
source "$(dirname "$0")/drainage_column.sh"
xvfb_require import sqlite3

tmp=$(mktemp -d)
map_pid=""
cleanup() {
  [ -n "$map_pid" ] && kill "$map_pid" 2>/dev/null
  xvfb_stop
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/map.log" ] && cat "$tmp/map.log"; exit 1; }

export HOME=$tmp/home XDG_DATA_HOME=$tmp/data XDG_STATE_HOME=$tmp/state XDG_CACHE_HOME=$tmp/cache
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run QUILLON_REGISTRY_ROOT=$tmp/registry
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM QUILLON_DDE_DIR

# The survey in a folder of its own: the save dialog proposes the soils theme's folder.
mkdir "$tmp/survey"
cp "$share"/sample/sample_soils.* "$tmp/survey/"
cp "$share/quillon-results.sqlite" "$tmp/results.sqlite"
write_drainage_column "$bin" "$share/sample/sample.sqlite" "$share/quillon-rules.sqlite" "$tmp/results.sqlite" ||
  fail "writing DRAIN_DC into MU_Data"

xvfb_start 1280x800 "$tmp/xvfb.log" || fail "no virtual X server"

"$bin/quillon-map" --results "$tmp/results.sqlite" --viewer /nonexistent "$tmp/survey/sample_soils.shp" \
  >"$tmp/map.log" 2>&1 &
map_pid=$!
window=""
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name '^ArcView GIS' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 "$map_pid" 2>/dev/null || fail "quillon-map ended before showing its window"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled ArcView GIS appeared"

title="Drainage Class - Dominant Condition"
"$bin/quillon-dde" ArcView System --timeout 20000 \
  "av.run(\"Quillon.DisplayInterps\", \"DRAIN_DC|$title|$share/legends/drainage_class.avl\" )" \
  || fail "DisplayInterps"
sleep 1

# Theme > Convert to Shapefile..., then the proposed name replaced by our own.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+t
sleep 0.5
xdotool key Return
dialog=""
for _ in $(seq 100); do
  dialog=$(xdotool search --onlyvisible --name '^Convert to Shapefile' 2>/dev/null | head -1 || true)
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "the save dialog did not open"
xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 5 "$tmp/survey/drainage_class.shp"
xdotool key Return
for _ in $(seq 100); do [ -e "$tmp/survey/drainage_class.shp" ] && break; sleep 0.1; done
for ext in shp shx dbf prj cpg; do
  [ -s "$tmp/survey/drainage_class.$ext" ] || fail "drainage_class.$ext was not written"
done
sleep 1
# The converted theme made active: the top row of the table of contents (no window manager,
# so the window sits at the top left and the row's place is fixed).
xdotool mousemove --window "$window" 60 75 click 1
sleep 2  # the redraw
import -window "$window" "$out"
colours=$(convert "$out" -format '%k' info:)
[ "$colours" -gt 50 ] || fail "the picture is blank ($colours colours)"

"$bin/quillon-dde" ArcView System "av.run(\"Quillon.InterpsCleanup\", \"\" )" || fail "InterpsCleanup"
[ -s "$tmp/survey/drainage_class.shp" ] || fail "the clean-up removed the converted shapefile"
echo "converted: $tmp/survey/drainage_class.shp; picture $out"

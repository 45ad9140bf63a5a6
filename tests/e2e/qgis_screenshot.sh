#!/usr/bin/env bash
# QGIS's map canvas and layer tree under a virtual X server with the Quillon plugin's rating
# layer (the drainage class quillon-rate gives, drawn with its legend file), for the README.
# Usage: qgis_screenshot.sh BIN_DIR PLUGIN_FOLDER OUTPUT.png
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick, sqlite3 or QGIS's Python bindings are missing.
set -u
bin=$(cd "$1" && pwd)
plugins=$(cd "$2" && pwd)
out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/xvfb.sh
source "$here/xvfb.sh"
# shellcheck source=tests/e2e/drainage_column.sh
source "$here/drainage_column.sh"
xvfb_require import sqlite3
/usr/bin/python3 -c 'import qgis.gui' 2> /dev/null || { echo "SKIPPED: python3-qgis is not installed"; exit 77; }
. "$here/linked_session.sh"
extra_pids=()
trap 'xvfb_stop; linked_session_cleanup' EXIT
write_drainage_column "$bin" "$data/soils/sample.mdb" "$data/quillon-rules.sqlite" "$results" ||
  fail "writing DRAIN_DC into MU_Data"
unset QT_QPA_PLATFORM
xvfb_start 1280x680 "$work/xvfb.log" || fail "no virtual X server"
# The plugin runs from the source tree: no byte code is written into it.
export QUILLON_BIN_DIR=$bin PYTHONDONTWRITEBYTECODE=1
argument="DRAIN_DC|Drainage Class - Dominant Condition|$data/legends/drainage_class.avl"
/usr/bin/python3 "$here/qgis_window.py" "$plugins" "$data/soils/sample_soils.shp" "$argument" "$work/stop" \
  > "$work/qgis.log" 2>&1 &
extra_pids+=($!)
# Drawn, or ended without drawing: either way there is no more to wait for.
settled() { grep -q '^ready' "$work/qgis.log" || ! kill -0 "${extra_pids[0]}" 2> /dev/null; }
wait_until 400 settled
grep -q '^ready' "$work/qgis.log" || { cat "$work/qgis.log"; fail "QGIS did not draw the layer"; }
import -window root "$out" || fail "the picture"
touch "$work/stop"
wait "${extra_pids[0]}"
echo "picture: $out"

#!/usr/bin/env bash
# QGIS and the viewer as two real processes: a headless QGIS with the Quillon plugin starts
# the viewer on the sample soils layer; the viewer rates through its process button; QGIS
# must add the rating as a layer joined to every polygon, coloured as the soils map colours
# it; the viewer's clean-up removes it; quitting QGIS ends the viewer.
# Usage: qgis_plugin.sh BIN_DIR PLUGIN_FOLDER   (77 when QGIS's Python bindings are missing; 1 with CI set)
set -u
bin=$(cd "$1" && pwd)
plugins=$(cd "$2" && pwd)
skip() { echo "SKIPPED: $*"; [ -n "${CI:-}" ] && exit 1; exit 77; }
# Debian's bindings belong to the system's Python; another python3 on PATH has none.
/usr/bin/python3 -c 'import qgis.core' 2> /dev/null || skip "python3-qgis is not installed"
here=$(cd "$(dirname "$0")" && pwd)
. "$here/linked_session.sh"
write_viewer_program
# The plugin runs from the source tree: no byte code is written into it.
export QUILLON_BIN_DIR=$bin QUILLON_VIEWER=$work/viewer PYTHONDONTWRITEBYTECODE=1
timeout -k 5 50 /usr/bin/python3 "$here/qgis_plugin_session.py" "$plugins" "$data/soils/sample_soils.shp" \
  "$results" "$work" > "$work/qgis.log" 2>&1
status=$?
# The session prints its verdict only once QGIS has shut down; it then leaves without the
# interpreter's own teardown, where QGIS 3.22 is known to crash.
verdict=$(grep '^qgis session: ' "$work/qgis.log")
if [ $status -ne 0 ] || [ "$verdict" != "qgis session: ok" ]; then
  echo "--- qgis.log"; tail -n 40 "$work/qgis.log"
  fail "the QGIS session ended with status $status${verdict:+ ($verdict)}"
fi
rm -f "$work/viewer.pid"
echo "QGIS plugin: rating layer joined and coloured as the map, removed by the viewer, viewer ended with QGIS"

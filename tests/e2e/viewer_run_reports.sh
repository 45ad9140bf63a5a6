#!/usr/bin/env bash
# The whole window path with the soils map and the viewer as two real processes, offscreen:
# the map starts the viewer on the sample soils theme; through the viewer's test driver an
# interpretation is chosen, a column named and the process button pressed; the column in
# MU_Data must hold what quillon-rate gives for the same inputs, and the map must draw it.
# Then three map units of two survey areas are ticked and both reports previewed; the
# documents are read back with python-docx.
# Usage: viewer_run_reports.sh BIN_DIR      (77 when sqlite3 or python-docx is missing; 1 with CI set)
set -u
bin=$(cd "$1" && pwd)
skip() { echo "SKIPPED: $*"; [ -n "${CI:-}" ] && exit 1; exit 77; }
command -v sqlite3 > /dev/null || skip "sqlite3 is not installed"
# The system's Python has the Debian package; a Python of one's own on PATH may not.
python=
for candidate in python3 /usr/bin/python3; do
  "$candidate" -c 'import docx' 2> /dev/null && { python=$candidate; break; }
done
[ -n "$python" ] || skip "python3-docx is not installed"
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
map_pid=
cleanup() {
  [ -n "$map_pid" ] && kill -KILL "$map_pid" 2>/dev/null
  # A viewer left running by a failure (the map started it, so it is not our child).
  if [ -f "$work/viewer.pid" ]; then kill -KILL "$(cat "$work/viewer.pid")" 2>/dev/null; fi
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in map.log viewer.log state/quillon/AMBApps2.log; do
    [ -s "$work/$f" ] && { echo "--- $f"; cat "$work/$f"; }
  done
  exit 1
}
# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_until() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}

export HOME=$work/home XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run QUILLON_REGISTRY_ROOT=$work/registry
# The desktop's opener is not called: the previewed documents stay in the runtime folder.
export QT_QPA_PLATFORM=offscreen QUILLON_NO_OPEN=1 QUILLON_CONTACT_FILE=$work/no-contact.vcf
unset QUILLON_DDE_DIR DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
"$bin/quillon-setup" > "$work/setup.log" 2>&1 || fail "quillon-setup: $(cat "$work/setup.log")"
data=$XDG_DATA_HOME/quillon
results=$data/results/results.sqlite
[ -f "$results" ] || fail "quillon-setup wrote no working results database at $results"

cat > "$work/viewer" <<SH
#!/bin/sh
"$bin/quillon_e2e_viewer" "\$@" > "$work/viewer.log" 2>&1 &
echo \$! > "$work/viewer.pid"
wait \$!
SH
chmod +x "$work/viewer"
"$bin/quillon-map" --verbose --start-quillon --viewer "$work/viewer" "$data/soils/sample_soils.shp" \
  > "$work/map.log" 2>&1 &
map_pid=$!

driver() { "$bin/quillon-dde" --timeout 10000 QuillonTest driver "$@" 2>> "$work/driver.log"; }
serving() { "$bin/quillon-dde" --timeout 1000 QuillonTest driver "" 2>/dev/null; [ $? -eq 1 ]; }
idle() { driver IDLE; }
wait_until 600 serving || fail "the viewer did not come up"

# The run: dwellings with basements, components under 10% left out.
column=DWB_E2E
driver "RUN INT_DWB|$column|10" || fail "the process button: $(tail -n 1 "$work/driver.log")"
wait_until 300 idle || fail "the run did not end"
wait_until 300 grep -q '^shown: ' "$work/map.log" || fail "the map shows no theme"
shown=$(grep '^shown: ' "$work/map.log")
[[ $shown == "shown: "*" from $column:"* ]] || fail "the theme is not drawn from $column: $shown"
"$bin/quillon-rate" --soils "$data/soils/sample.mdb" --rules "$data/quillon-rules.sqlite" --attribute INT_DWB \
  --ignore-below 10 --mapunits "$data/soils/sample_soils.dbf" > "$work/rating.csv" || fail "quillon-rate"
sqlite3 -csv "$results" "SELECT mukey, $column FROM MU_Data" > "$work/stored.csv" ||
  fail "no column $column in MU_Data"

# Both documents land in the runtime folder; each is read back once written.
docs=$XDG_RUNTIME_DIR/quillon
driver "TICK VS001|2" && driver "TICK VS003|1" || fail "ticking map units: $(tail -n 1 "$work/driver.log")"
driver "REPORT 1" || fail "Preview Report: $(tail -n 1 "$work/driver.log")"
wait_until 300 idle || fail "the rating report did not end"
[ -s "$docs/QLN_Temporary.docx" ] || fail "no rating report in $docs"
driver "NONTECH Setting|Land use" || fail "the non-technical Preview Report: $(tail -n 1 "$work/driver.log")"
wait_until 300 idle || fail "the non-technical report did not end"
[ -s "$docs/QLN_NonTech_Tmp.docx" ] || fail "no non-technical report in $docs"
# The one box of the whole path is the run's note that the theme was added.
boxes=$(grep '^Quillon: ' "$work/viewer.log")
[ "$(grep -c . <<<"$boxes")" -eq 1 ] || fail "message boxes: $boxes"

"$python" "$here/check_viewer_documents.py" "$work/rating.csv" "$work/stored.csv" "$shown" \
  "$work/viewer.log" "$docs/QLN_Temporary.docx" "$docs/QLN_NonTech_Tmp.docx" ||
  fail "the stored column or the documents"
# Closing the map ends the viewer too.
kill -TERM "$map_pid"
wait "$map_pid" || fail "the map ended with status $?"
map_pid=
wait_until 300 eval '! kill -0 "$(cat "$work/viewer.pid")" 2> /dev/null' || fail "the viewer did not end with the map"
rm -f "$work/viewer.pid"
echo "viewer run and reports: column stored as quillon-rate rates it, drawn, both reports as chosen"

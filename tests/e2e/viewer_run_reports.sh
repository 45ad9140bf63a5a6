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
. "$here/linked_session.sh"
start_linked_session

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
end_linked_session
echo "viewer run and reports: column stored as quillon-rate rates it, drawn, both reports as chosen"

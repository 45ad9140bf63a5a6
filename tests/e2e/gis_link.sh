#!/usr/bin/env bash
# The soils map as its own process, driven over the link as the viewer drives it: a rating
# column written by quillon-rate is displayed with the bundled legend, a missing column is
# refused with its reason, and the clean-up is acknowledged.
# Usage: gis_link.sh BIN_DIR SHARE_DIR [SCREENSHOT.png]   (the screenshot needs DISPLAY)
set -u
bin=$1 share=$2 shot=${3:-}
work=$(mktemp -d)
chmod 700 "$work"
map_pid=
cleanup() {
  [ -n "$map_pid" ] && kill "$map_pid" 2>/dev/null && wait "$map_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

export QUILLON_REGISTRY_ROOT=$work/registry XDG_RUNTIME_DIR=$work XDG_STATE_HOME=$work/state
unset QUILLON_DDE_DIR
[ -n "$shot" ] || export QT_QPA_PLATFORM=offscreen

"$bin/quillon-rate" --soils "$share/sample/sample.sqlite" --rules "$share/quillon-rules.sqlite" \
  --attribute WAT_DRAIN --format csv > "$work/rating.csv" || fail "quillon-rate"
cp "$share/quillon-results.sqlite" "$work/results.sqlite"
sqlite3 "$work/results.sqlite" <<SQL || fail "writing MU_Data"
.import --csv $work/rating.csv rating
ALTER TABLE MU_Data ADD DRAIN_DC TEXT;
INSERT INTO MU_Data (mukey, musym, DRAIN_DC) SELECT mukey, musym, NULLIF(DRAIN_DC, '') FROM rating;
DROP TABLE rating;
SQL

"$bin/quillon-map" --results "$work/results.sqlite" --viewer /nonexistent "$share/sample/sample_soils.shp" \
  > "$work/map.log" 2>&1 &
map_pid=$!
for _ in $(seq 100); do
  "$bin/quillon-dde" ArcView System "" --timeout 1000 2>/dev/null; [ $? -ne 2 ] && break
  sleep 0.1
done

legend="$share/legends/drainage_class.avl"
"$bin/quillon-dde" ArcView System \
  "av.run(\"Quillon.DisplayInterps\", \"DRAIN_DC|Drainage Class - Dominant Condition|$legend\" )" \
  || fail "DisplayInterps of a real column: $(cat "$work/map.log")"
if [ -n "$shot" ]; then
  sleep 2
  id=$(xdotool search --name "^ArcView GIS" | head -n 1)
  import -window "${id:-root}" "$shot" || fail "screenshot"
fi
reason=$("$bin/quillon-dde" ArcView System "av.run(\"Quillon.DisplayInterps\", \"NOPE|x|DYNAMIC\" )" 2>&1)
[ $? -eq 1 ] && [[ $reason == *"The column NOPE is not in MU_Data"* ]] || fail "missing column not refused: $reason"
value=$(find "$QUILLON_REGISTRY_ROOT" -iname 'v-enableqlndialog*' -exec cat {} + 2>/dev/null)
[[ $value == *Y* ]] || fail "EnableQLNDialog is not Y while the rating theme is active: '$value'"

"$bin/quillon-dde" ArcView System "av.run(\"Quillon.InterpsCleanup\", \"\" )" || fail "InterpsCleanup"
echo "gis link: display, refusal and clean-up through a second process"

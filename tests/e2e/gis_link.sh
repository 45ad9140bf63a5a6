#!/usr/bin/env bash
# The soils map as its own process, driven over the link as the viewer drives it: a rating
# column written by quillon-rate is displayed with the bundled legend, a missing column is
# refused with its reason, and the clean-up is acknowledged.
# Usage: gis_link.sh BIN_DIR SHARE_DIR [SCREENSHOT.png]   (the screenshot needs DISPLAY)
set -u
bin=$1 share=$2 shot=${3:-}
# shellcheck source=tests/e2e/drainage_column.sh
source "$(dirname "$0")/drainage_column.sh"
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

cp "$share/quillon-results.sqlite" "$work/results.sqlite"
write_drainage_column "$bin" "$share/sample/sample.sqlite" "$share/quillon-rules.sqlite" "$work/results.sqlite" ||
  fail "writing DRAIN_DC into MU_Data"

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

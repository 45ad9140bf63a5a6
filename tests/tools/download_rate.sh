#!/bin/sh
# A survey download as a field office has it: imported with quillon-import, then every
# bundled attribute is rated over it; each one whose data the survey holds gives ratings.
set -eu
import=$1
rate=$2
download=$3
[ -f "$download/tabular/mstab.txt" ] || { echo "SKIPPED: $download not found"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$import" "$download" --output "$work/survey.sqlite" 2>"$work/import.err" || { cat "$work/import.err"; fail "import"; }
grep -q "read chorizon (" "$work/import.err" || fail "progress names the tables read"
# A download needs somewhere to go; a database never replaces a zip it reads.
status=0
"$import" "$download" >/dev/null 2>&1 || status=$?
[ "$status" -eq 64 ] || fail "a download without --output gave exit $status, expected 64"
if command -v zip >/dev/null; then
  (cd "$download" && zip -qr "$work/survey.zip" tabular)
  status=0
  "$import" "$work/survey.zip" --output "$work/survey.zip" 2>/dev/null || status=$?
  [ "$status" -eq 64 ] && unzip -tq "$work/survey.zip" >/dev/null || fail "the output replaced its own input zip"
fi

# Attributes whose data the excerpt does not hold (no water table, bedrock or ponding depth,
# no non-irrigated yields, no soil moisture rows) rate nothing, without error.
no_data=" WAT_WTDEP WAT_PONDDEP QUA_BEDROCK YLD_NIRR MU_WTMIN "
"$rate" --list-attributes >"$work/attributes"
count=0
for key in $(sed -n 's/^  \([A-Z][A-Z0-9_]*\)  .*/\1/p' "$work/attributes"); do
  options=$(grep -A2 "^  $key " "$work/attributes" | sed -n '3p')
  args=""
  case "$options" in *--top*) args="--top 0 --bottom 100" ;; esac
  case "$options" in *--begin-month*) args="$args --begin-month 1 --end-month 12" ;; esac
  # shellcheck disable=SC2086
  "$rate" --soils "$work/survey.sqlite" --attribute "$key" $args >"$work/out" 2>"$work/err" \
    || { cat "$work/err"; fail "$key"; }
  rows=$(($(wc -l <"$work/out") - 1))
  case "$no_data" in
    *" $key "*) ;;
    *) [ "$rows" -gt 0 ] || fail "$key rated no map unit" ;;
  esac
  count=$((count + 1))
done
[ "$count" -ge 30 ] || fail "only $count attributes listed"
echo "rated $count attributes"

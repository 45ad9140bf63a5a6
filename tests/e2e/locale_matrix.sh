#!/usr/bin/env bash
# Rates every attribute of the bundled rules with every method its rules allow, on the
# bundled sample survey, once in the C locale and once in a comma-decimal locale, as a
# desktop session's environment gives it. The outputs must be byte-identical, valid JSON,
# and free of inf and nan.
# Usage: locale_matrix.sh QUILLON_RATE RULES SOILS
set -u
rate=$1 rules=$2 soils=$3
locale=de_DE.UTF-8
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "the locale $locale is not installed (scripts/test generates it)"
  [ -n "${CI:-}" ] && exit 1
  echo "SKIPPED: no comma-decimal locale"; exit 0
fi
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0 runs=0

pairs=$(sqlite3 -separator '|' "$rules" \
  "SELECT a.NodeKey, v.AlgorithmSeq, a.SoilLayerOptions, a.SeasonOptions, a.OptionList
     FROM Attributes a JOIN AttrAlgorithms m ON m.NodeKey = a.NodeKey
     JOIN ValidAlgorithms v ON v.Name = m.AlgorithmName
    WHERE a.DBFColumn IS NOT NULL ORDER BY a.AttrSeq, v.AlgorithmSeq")
[ -n "$pairs" ] || { echo "no attribute/method pairs in $rules"; exit 1; }

while IFS='|' read -r key method layer season lists; do
  args=(--soils "$soils" --rules "$rules" --attribute "$key" --method "$method" --format json)
  [ "$layer" != 0 ] && args+=(--top 0 --bottom 100)
  [ "$season" != 0 ] && args+=(--begin-month 11 --end-month 3)
  if [ "$lists" != 0 ]; then
    label=$(sqlite3 "$rules" "SELECT Label FROM OptionList WHERE NodeKey='$key' LIMIT 1")
    query=$(sqlite3 "$rules" "SELECT SelectStmt FROM OptionList WHERE NodeKey='$key' LIMIT 1")
    item=$(sqlite3 "$soils" "$query" | head -n 1)
    args+=(--list "$label=$item")
  fi
  runs=$((runs + 1))
  LC_ALL=C "$rate" "${args[@]}" > "$work/$runs.c.json" 2> "$work/err" || {
    echo "FAIL (C): $rate ${args[*]}: $(cat "$work/err")"; failures=$((failures + 1)); continue; }
  LC_ALL=$locale "$rate" "${args[@]}" > "$work/$runs.json" 2> "$work/err" || {
    echo "FAIL ($locale): $rate ${args[*]}: $(cat "$work/err")"; failures=$((failures + 1)); continue; }
  if ! cmp -s "$work/$runs.c.json" "$work/$runs.json"; then
    echo "FAIL (output differs under $locale): $rate ${args[*]}"
    diff "$work/$runs.c.json" "$work/$runs.json" | head -n 6
    failures=$((failures + 1))
  fi
done <<< "$pairs"

# Every output parses as JSON and holds only finite numbers.
python3 - "$work" <<'PY' || failures=$((failures + 1))
import glob, json, math, sys
def finite(value):
    if isinstance(value, float):
        return math.isfinite(value)
    if isinstance(value, list):
        return all(finite(v) for v in value)
    if isinstance(value, dict):
        return all(finite(v) for v in value.values())
    return True
bad = 0
for name in sorted(glob.glob(sys.argv[1] + "/*.json")):
    try:
        with open(name) as f:
            rows = json.load(f, parse_constant=lambda c: float(c))
        if not finite(rows):
            print("FAIL (not finite):", name); bad += 1
    except ValueError as error:
        print("FAIL (invalid JSON):", name, error); bad += 1
sys.exit(1 if bad else 0)
PY

echo "$((runs - failures)) passed, $failures failed"
[ $failures -eq 0 ]

#!/usr/bin/env bash
# Rates every attribute of the bundled rules with every method its rules allow, on the
# bundled sample survey, through quillon-rate as a user runs it. Any failure is reported
# with the command that failed. Every run is made again reading the survey in small batches
# on several threads, which must print the same bytes; given a second soils database (the
# same data on a server), every run is made on it instead and must print the same bytes, and
# the first run of each kind (attribute table, method, domain, conditions, multipliers) is
# made there once more in small batches on several threads, again the same bytes.
# Usage: rate_matrix.sh QUILLON_RATE RULES SOILS [SAME_SOILS_ELSEWHERE]
set -u
rate=$1 rules=$2 soils=$3 other=${4:-}
failures=0 runs=0
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

pairs=$(sqlite3 -separator '|' "$rules" \
  "SELECT a.NodeKey, v.AlgorithmSeq, a.SoilLayerOptions, a.SeasonOptions, a.OptionList, a.DBFColumn IS NULL,
          a.TelvaTable || '/' || v.AlgorithmSeq || '/' || (a.domainname IS NULL) || (a.SQLWhere IS NULL) ||
          (a.WAMultipliers IS NULL)
     FROM Attributes a JOIN AttrAlgorithms m ON m.NodeKey = a.NodeKey
     JOIN ValidAlgorithms v ON v.Name = m.AlgorithmName ORDER BY a.AttrSeq, v.AlgorithmSeq")
[ -n "$pairs" ] || { echo "no attribute/method pairs in $rules"; exit 1; }

declare -A kinds=()
while IFS='|' read -r key method layer season lists unsupported kind; do
  args=(--soils "$soils" --rules "$rules" --attribute "$key" --method "$method")
  [ "$layer" != 0 ] && args+=(--top 0 --bottom 100)
  [ "$season" != 0 ] && args+=(--begin-month 11 --end-month 3)
  if [ "$lists" != 0 ]; then
    label=$(sqlite3 "$rules" "SELECT Label FROM OptionList WHERE NodeKey='$key' LIMIT 1")
    query=$(sqlite3 "$rules" "SELECT SelectStmt FROM OptionList WHERE NodeKey='$key' LIMIT 1")
    item=$(sqlite3 "$soils" "$query" | head -n 1)
    args+=(--list "$label=$item")
  fi
  runs=$((runs + 1))
  format=()
  [ -n "$other" ] && format=(--format csv)
  "$rate" "${args[@]}" "${format[@]}" >"$work/whole" 2>"$work/err"
  status=$?
  out=$(cat "$work/err")
  if [ "$unsupported" != 0 ]; then
    # An attribute without an output column is refused the way the viewer refuses it.
    if [ $status -ne 2 ] || [[ "$out" != *"This Interpretation is not yet supported."* ]]; then
      echo "FAIL (expected a refusal): $rate ${args[*]}: status $status: $out"; failures=$((failures + 1))
    fi
  elif [ $status -ne 0 ]; then
    echo "FAIL: $rate ${args[*]}: status $status: $out"; failures=$((failures + 1))
  elif [ -n "$other" ]; then
    args[1]=$other
    if ! "$rate" "${args[@]}" --format csv >"$work/there" 2>"$work/there.err" ||
       ! cmp -s "$work/whole" "$work/there" || ! cmp -s "$work/err" "$work/there.err"; then
      echo "FAIL (outputs differ): $rate ${args[*]}"
      diff "$work/whole" "$work/there" | head -n 10
      failures=$((failures + 1))
    elif [ -z "${kinds[$kind]:-}" ]; then
      kinds[$kind]=1
      if ! "$rate" "${args[@]}" --format csv --batch 7 --threads 3 >"$work/there" 2>"$work/there.err" ||
         ! cmp -s "$work/whole" "$work/there" || ! cmp -s "$work/err" "$work/there.err"; then
        echo "FAIL (batched run there differs): $rate ${args[*]} --batch 7 --threads 3"
        diff "$work/whole" "$work/there" | head -n 10
        failures=$((failures + 1))
      fi
    fi
  elif ! "$rate" "${args[@]}" --batch 7 --threads 3 >"$work/batched" 2>"$work/batched.err" ||
       ! cmp -s "$work/whole" "$work/batched" || ! cmp -s "$work/err" "$work/batched.err"; then
    echo "FAIL (batched run differs): $rate ${args[*]} --batch 7 --threads 3"
    diff "$work/whole" "$work/batched" | head -n 5
    failures=$((failures + 1))
  fi
done <<< "$pairs"

echo "$((runs - failures)) passed, $failures failed"
[ $failures -eq 0 ]

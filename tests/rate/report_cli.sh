#!/bin/sh
# quillon-rate's documents from the sample survey: the XML report, the rating report and
# the non-technical report are written whole, and misuse is refused with exit 64.
set -eu
rate=$1
soils=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLON_NO_OPEN=1 XDG_RUNTIME_DIR="$work"
fail() { echo "FAIL: $*"; exit 1; }

"$rate" --soils "$soils" --attribute INT_DWB --xml "$work/r.xml" --report "$work/r.docx" --no-reasons \
  || fail "rating documents"
head -c 200 "$work/r.xml" | grep -q "<Report>" || fail "XML report root"
grep -q "<Title>Dwellings with Cellars - Dominant Condition</Title>" "$work/r.xml" || fail "XML title"
grep -q "Reason text=" "$work/r.xml" || fail "XML reasons"
[ -s "$work/r.docx" ] || fail "rating report written"
ls -A "$work" | grep -q partial && fail "partial file left behind"

"$rate" --soils "$soils" --nontech "$work/n.docx" --category Setting "Land use" || fail "non-technical report"
[ -s "$work/n.docx" ] || fail "non-technical report written"

# Without categories, or with a label asked for and no contact, the program says so.
set +e
"$rate" --soils "$soils" --nontech "$work/x.docx" >/dev/null 2>&1
[ $? -eq 64 ] || fail "--nontech without --category is a usage error"
QUILLON_CONTACT_FILE="$work/none.vcf" "$rate" --soils "$soils" --attribute INT_DWB --report "$work/l.docx" \
  --label 2>"$work/err"
[ $? -eq 0 ] || fail "a report without a contact is still made"
grep -q "no label" "$work/err" || fail "missing contact is reported"
# A report whose document is open in an editor is refused and the old one kept.
touch "$work/.~lock.r.docx#"
"$rate" --soils "$soils" --attribute INT_DWB --report "$work/r.docx" 2>"$work/err"
[ $? -eq 2 ] || fail "a locked report is refused"
grep -q "Word Document already open" "$work/err" || fail "locked message"
# Every document follows the one output rule: never over an input, a device written in place.
cp "$soils" "$work/own.sqlite"
before=$(cksum < "$work/own.sqlite")
for option in --xml --report "--category Setting --nontech"; do
  # shellcheck disable=SC2086
  "$rate" --soils "$work/own.sqlite" --attribute INT_DWB $option "$work/own.sqlite" 2>"$work/err"
  [ $? -eq 64 ] || fail "$option naming the soils database is refused"
  grep -q "same file as the input" "$work/err" || fail "$option: refusal names the input"
done
[ "$(cksum < "$work/own.sqlite")" = "$before" ] || fail "the soils database is kept"
if mknod "$work/null" c 1 3 2>/dev/null && mknod "$work/full" c 1 7 2>/dev/null; then
  for option in --xml --report; do
    "$rate" --soils "$soils" --attribute INT_DWB $option "$work/null" 2>"$work/err"
    [ $? -eq 0 ] || fail "$option onto a device node"
    [ -c "$work/null" ] || fail "$option keeps the device node"
    "$rate" --soils "$soils" --attribute INT_DWB $option "$work/full" 2>"$work/err"
    [ $? -eq 74 ] || fail "$option write failure exits 74"
    grep -q "No space left on device" "$work/err" || fail "$option: the failure is named"
    [ -c "$work/full" ] || fail "$option keeps the full device node"
  done
else
  echo "device nodes cannot be made here; their checks skipped"
fi
echo "report options passed"

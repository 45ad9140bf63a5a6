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
echo "report options passed"

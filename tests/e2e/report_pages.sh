#!/usr/bin/env bash
# Renders the first pages of both reports over the sample survey for docs/ (not a test):
# quillon-rate writes the .docx files, LibreOffice makes PDFs, pdftoppm the pictures.
# Usage: tests/e2e/report_pages.sh [BUILD_DIR]   (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/contact.vcf" <<'VCARD'
BEGIN:VCARD
VERSION:3.0
FN:Hill\, Jo
ORG:Hill Farm Partnership
X-MESSAGE-CLASS:IPM.Contact.Ambrel Customer
X-ORGANIZATIONAL-ID:HF2026-00417
ADR;TYPE=WORK:;;2150 County Road 14;Ames;IA;50010;USA
END:VCARD
VCARD
export QUILLON_CONTACT_FILE="$work/contact.vcf"
soils="$build/share/quillon/sample/sample.sqlite"
"$build/bin/quillon-rate" --soils "$soils" --attribute INT_DWB --report "$work/rating.docx" \
  --description --label --ignore-below 10 --rate -1
"$build/bin/quillon-rate" --soils "$soils" --nontech "$work/nontech.docx" \
  --category Setting "Soil properties" "Land use" --label
HOME="$work/home" soffice --headless --norestore --convert-to pdf --outdir "$work" \
  "$work/rating.docx" "$work/nontech.docx" >/dev/null
for name in rating nontech; do
  pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$work/$name.pdf" "$work/$name"
  convert "$work/$name.png" -colors 48 "PNG8:docs/report-$name.png"
done
echo "wrote docs/report-rating.png and docs/report-nontech.png"

#!/bin/sh
# Converts the sample reports to PDF with LibreOffice (its own profile in a fresh HOME):
# a document LibreOffice cannot read fails here. Skipped (77) without soffice, unless CI
# is set.
set -eu
folder=$1
if ! command -v soffice >/dev/null 2>&1; then
  echo "soffice is not installed (scripts/install-deps installs libreoffice-writer-nogui)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
HOME="$work/home" timeout 150 soffice --headless --norestore --convert-to pdf --outdir "$work/pdf" \
  "$folder/rating.docx" "$folder/rating_options.docx" "$folder/nontech.docx" >"$work/log" 2>&1 || {
  cat "$work/log"; exit 1; }
for name in rating rating_options nontech; do
  pdf="$work/pdf/$name.pdf"
  if [ ! -s "$pdf" ]; then
    echo "no PDF for $name.docx"; cat "$work/log"; exit 1
  fi
  if command -v pdftotext >/dev/null 2>&1; then
    pdftotext "$pdf" - | grep -q "Soil Survey" || { echo "$name.pdf lacks its text"; exit 1; }
  fi
done
echo "all reports converted to PDF"

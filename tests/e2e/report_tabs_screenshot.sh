#!/usr/bin/env bash
# Pictures of the viewer's two report tabs on the sample survey, a few map units ticked,
# taken by the report tabs' QtTest program (offscreen) into OUTPUT_DIR as
# viewer-reports.png and viewer-nontech.png.
# Usage: report_tabs_screenshot.sh BIN_DIR OUTPUT_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
QT_QPA_PLATFORM=offscreen QUILLON_SCREENSHOT_DIR=$out \
  "$bin/quillon_viewer_report_tabs_tests" screenshotsOfTheReportTabs
for picture in viewer-reports.png viewer-nontech.png; do
  [ -s "$out/$picture" ] || { echo "no $picture was written"; exit 1; }
done

#!/usr/bin/env bash
# A picture of the viewer while a rating run goes: the run test's cancel case under a
# virtual X server, with the window grabbed once the status bar counts map units.
# Usage: run_screenshot.sh RUN_TEST_BINARY OUTPUT.png
# Exits 77 (skipped) when Xvfb or ImageMagick is missing, unless CI is set.
set -euo pipefail
test_bin=$1 out=$(realpath -m "$2")

# shellcheck source=tests/e2e/xvfb.sh
source "$(dirname "$0")/xvfb.sh"
xvfb_require convert

tmp=$(mktemp -d)
cleanup() {
  xvfb_stop
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

xvfb_start 1280x800 "$tmp/xvfb.log" || exit 1

echo "running $test_bin cancelStoresNothing on display $DISPLAY"
QT_QPA_PLATFORM=xcb QUILLON_RUN_SCREENSHOT=$out "$test_bin" cancelStoresNothing ||
  { status=$?; echo "the run test ended with status $status"; exit 1; }

# A run that ends before its first count is drawn leaves nothing to picture.
[ -s "$out" ] || { echo "the run ended before a picture could be taken"; exit 77; }
colours=$(convert "$out" -format '%k' info:)
[ "$colours" -gt 16 ] || { echo "the picture of the window is blank ($colours colours)"; exit 1; }
echo "$(identify -format '%wx%h' "$out"), $colours colours -> $out"

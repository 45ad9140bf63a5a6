#!/usr/bin/env bash
# A picture of the viewer while a rating run goes: the run test's cancel case under a
# virtual X server, with the window grabbed once the status bar counts map units.
# Usage: run_screenshot.sh RUN_TEST_BINARY OUTPUT.png
# Exits 77 (skipped) when Xvfb or ImageMagick is missing, unless CI is set.
set -euo pipefail
test_bin=$1 out=$(realpath -m "$2")

for tool in Xvfb convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed"
    [ -n "${CI:-}" ] && exit 1
    exit 77
  fi
done

tmp=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

for display in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
  Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$display" ] && break
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "no virtual X server could start"; exit 1; }

echo "running $test_bin cancelStoresNothing on display :$display"
DISPLAY=:$display QT_QPA_PLATFORM=xcb QUILLON_RUN_SCREENSHOT=$out "$test_bin" cancelStoresNothing ||
  { status=$?; echo "the run test ended with status $status"; exit 1; }

# A run that ends before its first count is drawn leaves nothing to picture.
[ -s "$out" ] || { echo "the run ended before a picture could be taken"; exit 77; }
colours=$(convert "$out" -format '%k' info:)
[ "$colours" -gt 16 ] || { echo "the picture of the window is blank ($colours colours)"; exit 1; }
echo "$(identify -format '%wx%h' "$out"), $colours colours -> $out"

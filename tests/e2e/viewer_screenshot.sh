#!/usr/bin/env bash
# Sets the viewer up in a throw-away home with quillon-setup, starts the real program on
# the bundled sample under a virtual X server, waits for its main window and takes a
# picture of it. Fails when the window does not come up, when the program dies, or when
# the picture is blank. With KEYS (xdotool key names, e.g. "Right Down"), they are typed
# into the window first: the tree has the focus, so they select a node.
# Usage: viewer_screenshot.sh BIN_DIR OUTPUT.png [KEYS]
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick is missing, unless CI is set.
set -euo pipefail
bin=$(cd "$1" && pwd) out=$2 keys=${3:-}

# shellcheck source=tests/e2e/xvfb.sh
source "$(dirname "$0")/xvfb.sh"
xvfb_require import

tmp=$(mktemp -d)
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
  xvfb_stop
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

export HOME=$tmp/home XDG_DATA_HOME=$tmp/data XDG_STATE_HOME=$tmp/state XDG_CACHE_HOME=$tmp/cache
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run QUILLON_REGISTRY_ROOT=$tmp/registry
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

"$bin/quillon-setup" >"$tmp/setup.log" 2>&1 || { cat "$tmp/setup.log"; exit 1; }

xvfb_start 1280x800 "$tmp/xvfb.log" || exit 1

"$bin/quillon" >"$tmp/quillon.log" 2>&1 &
viewer_pid=$!
window=""
for _ in $(seq 600); do  # up to a minute: sanitizer builds start slowly
  window=$(xdotool search --onlyvisible --name '^Quillon$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 "$viewer_pid" 2>/dev/null || { echo "quillon ended before showing its window:"; cat "$tmp/quillon.log"; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no window titled Quillon appeared"; cat "$tmp/quillon.log"; exit 1; }
sleep 1  # let it finish painting
if [ -n "$keys" ]; then
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  # shellcheck disable=SC2086  # one key name per word
  xdotool key --delay 200 $keys
  sleep 1
fi
import -window "$window" "$out"

colours=$(convert "$out" -format '%k' info:)
[ "$colours" -gt 16 ] || { echo "the picture of the window is blank ($colours colours)"; exit 1; }
echo "window $window: $(identify -format '%wx%h' "$out"), $colours colours -> $out"

# Sourced by the end-to-end scripts that work the viewer's window through its test driver.
# It makes a fresh installation in a temporary folder (quillon-setup, every per-user folder
# inside it) and, by start_linked_session, starts the soils map on the sample soils theme;
# the map starts the viewer (quillon_e2e_viewer), which serves "QuillonTest|driver".
# Set before sourcing: bin, the build's bin folder. Given: work, data, results, map_pid and
# the functions fail, wait_until, driver, idle; the clean-up runs on exit. A caller that
# draws on a display sets DISPLAY and unsets QT_QPA_PLATFORM before start_linked_session,
# and may put pids of its own to end in extra_pids.

work=$(mktemp -d)
map_pid=
extra_pids=()
linked_session_cleanup() {
  [ -n "$map_pid" ] && kill -KILL "$map_pid" 2>/dev/null
  # A viewer left running by a failure (the map started it, so it is not our child).
  if [ -f "$work/viewer.pid" ]; then kill -KILL "$(cat "$work/viewer.pid")" 2>/dev/null; fi
  for pid in "${extra_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap linked_session_cleanup EXIT
fail_logs=(map.log viewer.log state/quillon/AMBApps2.log)
# shellcheck source=tests/support/fail_wait.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/fail_wait.sh"

export HOME=$work/home XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run QUILLON_REGISTRY_ROOT=$work/registry
# The desktop's opener is not called: documents stay in the runtime folder.
export QT_QPA_PLATFORM=offscreen QUILLON_NO_OPEN=1 QUILLON_CONTACT_FILE=$work/no-contact.vcf
unset QUILLON_DDE_DIR DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
"$bin/quillon-setup" > "$work/setup.log" 2>&1 || fail "quillon-setup: $(cat "$work/setup.log")"
data=$XDG_DATA_HOME/quillon
results=$data/results/results.sqlite
[ -f "$results" ] || fail "quillon-setup wrote no working results database at $results"

driver() { "$bin/quillon-dde" --timeout 10000 QuillonTest driver "$@" 2>> "$work/driver.log"; }
idle() { driver IDLE; }

# The viewer program a GIS starts: the test driver's viewer, its pid kept in viewer.pid and
# its exit status in viewer.status.
write_viewer_program() {
  cat > "$work/viewer" <<SH
#!/bin/sh
"$bin/quillon_e2e_viewer" "\$@" > "$work/viewer.log" 2>&1 &
echo \$! > "$work/viewer.pid"
wait \$!
echo \$? > "$work/viewer.status"
SH
  chmod +x "$work/viewer"
}

# The map on the sample soils theme starts the viewer; returns once the driver answers.
start_linked_session() {
  write_viewer_program
  "$bin/quillon-map" --verbose --start-quillon --viewer "$work/viewer" "$data/soils/sample_soils.shp" \
    > "$work/map.log" 2>&1 &
  map_pid=$!
  serving() { "$bin/quillon-dde" --timeout 1000 QuillonTest driver "" 2>/dev/null; [ $? -eq 1 ]; }
  wait_until 600 serving || fail "the viewer did not come up"
}

# Closing the map ends the viewer too.
end_linked_session() {
  kill -TERM "$map_pid"
  wait "$map_pid" || fail "the map ended with status $?"
  map_pid=
  wait_until 300 eval '! kill -0 "$(cat "$work/viewer.pid")" 2> /dev/null' || fail "the viewer did not end with the map"
  rm -f "$work/viewer.pid"
}

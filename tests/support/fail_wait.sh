# shellcheck shell=bash disable=SC2154  # work and fail_logs are set by the caller
# Sourced by the test scripts that start programs and wait for them.
# fail MESSAGE: prints it and the end of each non-empty file of fail_logs (paths below
# $work, set by the caller), then exits 1.
fail() {
  echo "FAIL: $*"
  local f
  for f in "${fail_logs[@]}"; do
    [ -s "$work/$f" ] && { echo "--- $f"; tail -n 60 "$work/$f"; }
  done
  exit 1
}
# wait_until TENTHS COMMAND...: waits up to TENTHS tenths of a second for the command to
# succeed; 1 when it never did.
wait_until() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}

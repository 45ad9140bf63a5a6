#!/usr/bin/env bash
# only_tracer_crashes over real CTest logs: a run whose only failure is LeakSanitizer's tracer
# crash earns the rerun even when other tests were skipped; any other failure, or none, does not.
# Usage: ctest_log_test.sh SCRIPTS_DIR
set -euo pipefail
# shellcheck source=scripts/ctest-log.sh
source "$1/ctest-log.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# verdict_for "EXTRA CMAKE LINES": runs a small suite of passing and skipped tests plus the
# extra ones, and prints what only_tracer_crashes says of its log.
verdict_for() {
  rm -rf "$tmp/project" && mkdir "$tmp/project"
  cat > "$tmp/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(log NONE)
enable_testing()
add_test(NAME passes COMMAND sh -c "echo fine")
add_test(NAME skipped_by_code COMMAND sh -c "exit 77")
set_tests_properties(skipped_by_code PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME skipped_by_pattern COMMAND sh -c "echo SKIPPED: no data")
set_tests_properties(skipped_by_pattern PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
$1
CMAKE
  cmake -S "$tmp/project" -B "$tmp/project/build" > /dev/null
  ctest --test-dir "$tmp/project/build" -j 2 > /dev/null 2>&1 || true
  if only_tracer_crashes "$tmp/project/build/Testing/Temporary/LastTest.log"; then
    echo rerun
  else
    echo stop
  fi
}

tracer='add_test(NAME tracer COMMAND sh -c "echo PASS; echo Tracer caught signal 11: addr=0x18f8; kill -ABRT \$\$")'
failure='add_test(NAME fails COMMAND sh -c "echo FAIL; exit 1")'

status=0
expect() {
  local want=$1 what=$2 got
  got=$(verdict_for "$3")
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: got $got, want $want"
    status=1
  fi
}
expect rerun "tracer crash beside skipped tests" "$tracer"
expect stop "tracer crash beside an ordinary failure" "$tracer
$failure"
expect stop "an ordinary failure alone" "$failure"
expect stop "no failure at all" ""
exit $status

# shellcheck shell=bash
# Reading of CTest's Testing/Temporary/LastTest.log; sourced by scripts/test.

# only_tracer_crashes LOG: true when LOG has failed tests and every one of them ended in the
# crash of LeakSanitizer's tracer. A test fails only by its "Test Failed." line: tests
# skipped by return code or by pattern end in "Test Passed." or "Test Pass Reason:".
only_tracer_crashes() {
  awk '
    / Testing: / { if (name != "") judge(); name = $0; crashed = 0; failed_here = 0; next }
    /^Tracer caught signal/ || /LeakSanitizer has encountered a fatal error/ { crashed = 1 }
    /^Test Failed\./ { failed_here = 1 }
    function judge() { if (failed_here) { failed++; if (!crashed) other++ } }
    END { if (name != "") judge(); exit !(failed > 0 && other == 0) }
  ' "$1"
}

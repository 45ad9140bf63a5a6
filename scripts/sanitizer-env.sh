# shellcheck shell=bash
# Options of the sanitizer runs; sourced by scripts/test and by the test that checks them.
# intercept_tls_get_addr=0: GCC 12's LeakSanitizer, when it follows __tls_get_addr, reads
# the bounds of a dlopen'ed component's thread-local block from the bytes before it. For a
# block that starts 16 bytes past a page boundary those are the allocator's own, and its
# tracer crashes at exit (signal 11), always at the same test for a given checkout path.
# Without the interception such blocks are not scanned as roots, which can only add reports.
sanitizer_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$sanitizer_root/tests/lsan.supp
unset sanitizer_root

// Linked into test programs that are also run under a comma-decimal locale: with
// QUILLON_TEST_LOCALE set, the whole process runs in that locale, as a desktop program's
// does, both for the C library and for C++ streams.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <stdexcept>

namespace {

[[maybe_unused]] const bool kLocaleSet = [] {
    const char* wanted = std::getenv("QUILLON_TEST_LOCALE");
    if (!wanted)
        return false;
    try {
        std::locale::global(std::locale(wanted));
        return true;
    } catch (const std::runtime_error&) {
        std::fprintf(stderr, "The locale %s is not installed (scripts/test generates it).\n", wanted);
        // Without it the run would prove nothing; on CI that is a failure, elsewhere a note.
        if (std::getenv("CI"))
            std::exit(1);
        return false;
    }
}();

} // namespace

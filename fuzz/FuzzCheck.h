#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep; a broken one is a crash the fuzzer reports.
#define QUILLON_FUZZ_CHECK(condition)                                                           \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace qln::test {

// The shared fixtures folder (genuine files that cannot live in the repository).
inline std::filesystem::path sharedFixtures()
{
    return std::filesystem::path(QUILLON_SHARED_DIR) / "fixtures";
}

// Whether the continuous-integration run is on: there a missing fixture is a failure.
inline bool underCi()
{
    const char* ci = std::getenv("CI");
    return ci && *ci && std::string_view(ci) != "0" && std::string_view(ci) != "false";
}

} // namespace qln::test

// Skips the test, saying why, when a fixture file is absent; fails it instead under CI.
#define QUILLON_REQUIRE_FIXTURE(file)                                                                  \
    do {                                                                                               \
        const std::filesystem::path quillonFixture_ = (file);                                          \
        if (!std::filesystem::exists(quillonFixture_)) {                                               \
            if (::qln::test::underCi())                                                                \
                FAIL() << "fixture " << quillonFixture_.string() << " is missing (CI is set)";         \
            GTEST_SKIP() << "fixture " << quillonFixture_.string() << " not found; skipping";          \
        }                                                                                              \
    } while (false)

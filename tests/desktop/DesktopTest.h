#pragma once

#include "../support/TempFolder.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

// A fresh session runtime folder per test, so that windows and locks of the user's real
// session (or of other tests running at once) are never seen.
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(m_temp / "runtime");
        std::filesystem::permissions(m_temp / "runtime", std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", (m_temp / "runtime").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }

    std::filesystem::path runtime() const { return m_temp / "runtime"; }
    const qln::test::TempFolder& temp() const { return m_temp; }

private:
    qln::test::TempFolder m_temp;
};

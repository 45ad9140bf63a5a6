#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

// A fresh registry root per test, named by QUILLON_REGISTRY_ROOT for the test's duration.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-registry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        ::setenv("QUILLON_REGISTRY_ROOT", root().c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("QUILLON_REGISTRY_ROOT");
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    // The root sits one level down, so that a test can see whether anything escaped it.
    std::filesystem::path root() const { return m_folder / "root"; }
    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
};

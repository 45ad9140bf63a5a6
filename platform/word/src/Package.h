#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace qln::word {

// The parts of an Office package by name ("word/document.xml"), read from or written to a
// zip file with libzip.
using Parts = std::map<std::string, std::string>;

// DocumentError naming the file when it cannot be read as a zip package.
Parts readPackage(const std::filesystem::path& path);
// The zip file's bytes.
std::string writePackage(const Parts& parts);
// Replaces the target by the bytes through a new file in its folder and a rename.
void replaceFile(const std::filesystem::path& target, const std::string& bytes);

} // namespace qln::word

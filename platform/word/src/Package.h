#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace qln::word {

// The parts of an Office package by name ("word/document.xml"), read from or written to a
// zip file with libzip.
using Parts = std::map<std::string, std::string>;

// DocumentError naming the file when it cannot be read as a zip package.
Parts readPackage(const std::filesystem::path& path);
// The zip file's bytes.
// The zip file's bytes; `going` as Document::saveAs takes it.
std::string writePackage(const Parts& parts, const std::function<void()>& going = {});
// Replaces the target by the bytes through a new file in its folder and a rename.
// `going` is called before the rename.
void replaceFile(const std::filesystem::path& target, const std::string& bytes,
                 const std::function<void()>& going = {});

} // namespace qln::word

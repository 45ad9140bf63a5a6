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
// The zip file's bytes; `going` as Document::saveAs takes it.
std::string writePackage(const Parts& parts, const std::function<void()>& going = {});

} // namespace qln::word

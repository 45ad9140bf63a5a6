#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qln {

// Why a file a program is about to read must be refused: it exists but is a FIFO, a
// socket, a device or a folder (reading a FIFO waits for a writer for ever, a device may
// never end). The text names the file, e.g. "/tmp/x is a FIFO, not a regular file".
// Nothing for a regular file, through links, and for a missing one, which the caller
// reports in its own words.
std::optional<std::string> irregularInput(const std::filesystem::path& file);

} // namespace qln

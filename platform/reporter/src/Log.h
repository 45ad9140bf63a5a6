#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qln::reporter {

// One recorded message.
struct LogRecord {
    std::int32_t type = 0;
    std::string category;
    std::string procedure;
    std::int32_t msgId = 0;
    std::int32_t sysErrNum = 0;
    std::string sysErrDescription;
    std::string text;
};

// $XDG_STATE_HOME/quillon/<event source>.log ($HOME/.local/state when XDG_STATE_HOME is
// unset); characters that could leave the folder are replaced in the file name.
std::filesystem::path logPath(std::string_view eventSource);

// "FATAL", "ERROR", "WARNING", "INFO", or "TYPE n" for anything else.
std::string typeName(std::int32_t type);

// One line, fields separated by " | ": local time to the millisecond, type, category,
// program[pid], procedure, message id, system error number and description, text. Line
// breaks inside fields are written as "\n" so that every record stays one line.
std::string logLine(const LogRecord& record, std::chrono::system_clock::time_point when);

// Appends the line (with its line break) in one write, creating the folder when needed, so
// that lines of several processes never mix. False when the file cannot be written.
bool appendLine(const std::filesystem::path& file, std::string_view line);

} // namespace qln::reporter

#include "Log.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace qln::reporter {

namespace fs = std::filesystem;

namespace {

std::string oneLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' || text[i] == '\r')
            out += "\\n";
        else
            out += text[i];
    }
    return out;
}

fs::path stateHome()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') return state;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "state";
}

} // namespace

fs::path logPath(std::string_view eventSource)
{
    std::string name(eventSource);
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        if (!plain) c = '_';
    }
    if (name.empty() || name.front() == '.') name.insert(0, "_");
    return stateHome() / "quillon" / (name + ".log");
}

std::string typeName(std::int32_t type)
{
    switch (type) {
    case 2: return "FATAL";
    case 4: return "ERROR";
    case 8: return "WARNING";
    case 16: return "INFO";
    default: return "TYPE " + std::to_string(type);
    }
}

std::string logLine(const LogRecord& record, std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[40];
    const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + n, sizeof stamp - n, ".%03d", static_cast<int>(millis));

    std::string sysErr = std::to_string(record.sysErrNum);
    if (!record.sysErrDescription.empty()) sysErr += " " + record.sysErrDescription;

    std::string line = stamp;
    for (const std::string& field :
         {typeName(record.type), record.category,
          std::string(program_invocation_short_name) + "[" + std::to_string(getpid()) + "]",
          record.procedure, std::to_string(record.msgId), sysErr, record.text}) {
        line += " | ";
        line += oneLine(field);
    }
    return line;
}

bool appendLine(const fs::path& file, std::string_view line)
{
    std::error_code ignored;
    fs::create_directories(file.parent_path(), ignored);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::string whole(line);
    whole += '\n';
    std::size_t done = 0;
    while (done < whole.size()) {
        const ssize_t written = ::write(fd, whole.data() + done, whole.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
    return ::close(fd) == 0 && done == whole.size();
}

} // namespace qln::reporter

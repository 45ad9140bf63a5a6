#include "Process.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace qln::desktop::detail {

std::optional<std::uint64_t> processStartTime(pid_t process)
{
    if (process <= 0) return std::nullopt;
    std::ifstream in("/proc/" + std::to_string(process) + "/stat");
    if (!in) return std::nullopt;
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    // The command name in parentheses may hold blanks and parentheses itself: the fields
    // that follow start after the last ')'. They are the state (field 3) ... starttime (22).
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::string_view rest(stat);
    rest.remove_prefix(close + 1);
    int field = 2;
    std::string_view token;
    while (field < 22) {
        const auto begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(begin);
        const auto end = rest.find(' ');
        token = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        ++field;
        if (field == 3 && (token == "Z" || token == "X")) return std::nullopt;
    }
    std::uint64_t start = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), start);
    if (ec != std::errc() || ptr != token.data() + token.size()) return std::nullopt;
    return start;
}

bool processAlive(pid_t process, std::uint64_t startTime)
{
    // Without /proc the writer recorded no start time: the process number must do.
    if (startTime == 0) return process > 0 && (::kill(process, 0) == 0 || errno == EPERM);
    const auto start = processStartTime(process);
    return start && *start == startTime;
}

} // namespace qln::desktop::detail

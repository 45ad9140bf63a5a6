#include "quillon/viewer/WindowChecks.h"

#include "quillon/Text.h"

namespace qln::viewer {

namespace {

// A title as the window walk reads it: at most maxChars characters, up to the first zero.
std::string readTitle(const std::string& title, std::size_t maxChars)
{
    std::string text = title.substr(0, std::min(title.size(), maxChars));
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

} // namespace

std::optional<std::string> CheckIfWindowRunning(const std::vector<TopLevelWindow>& windows, std::string_view caption,
                                                 std::int16_t matchCount)
{
    const std::string wanted = lowerAscii(caption);
    const std::string disabled = lowerAscii(std::string(kMainCaption) + kDisabledSuffix);
    std::int16_t count = 0;
    for (const TopLevelWindow& window : windows) {
        const std::string title = lowerAscii(trimBlanks(readTitle(window.title, 255)));
        if (title != wanted && title != disabled) continue;
        if (++count >= matchCount) return window.handle;
    }
    return std::nullopt;
}

bool QLNIsRunning(const std::vector<TopLevelWindow>& windows)
{
    return CheckIfWindowRunning(windows, kMainCaption, 1).has_value();
}

int EnumWindowProc(const TopLevelWindow& window, std::int16_t& counter)
{
    if (window.visible && lowerAscii(readTitle(window.title, 260).substr(0, 11)) == "arcview gis") ++counter;
    return 1;
}

bool MultipleArcviewSessions(const std::vector<TopLevelWindow>& windows)
{
    std::int16_t counter = 0;
    for (const TopLevelWindow& window : windows) {
        if (EnumWindowProc(window, counter) != 1) break;
    }
    return counter >= 2;
}

} // namespace qln::viewer

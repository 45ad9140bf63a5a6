#include "quillon/desktop/ShortNames.h"

#include "quillon/desktop/Folders.h"

#include <system_error>

namespace qln::desktop {

std::optional<ShortFileName> shortFileName(const std::filesystem::path& longPath)
{
    if (longPath.empty()) return std::nullopt;
    std::error_code error;
    const auto status = std::filesystem::status(longPath, error);
    if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
        throw DesktopError("Cannot look at " + longPath.string() + ": " + error.message());
    if (!std::filesystem::is_regular_file(status)) return std::nullopt;

    const auto full = std::filesystem::absolute(longPath, error).lexically_normal();
    if (error) throw DesktopError("Cannot look at " + longPath.string() + ": " + error.message());
    return ShortFileName{full.string(), full.filename().string()};
}

} // namespace qln::desktop

#include "quillon/InputFile.h"

#include <sys/stat.h>

namespace qln {

std::optional<std::string> irregularInput(const std::filesystem::path& file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || S_ISREG(status.st_mode))
        return std::nullopt;
    const char* kind = S_ISFIFO(status.st_mode)  ? "a FIFO"
                       : S_ISSOCK(status.st_mode) ? "a socket"
                       : S_ISDIR(status.st_mode)  ? "a folder"
                                                  : "a device";
    return file.string() + " is " + kind + ", not a regular file";
}

} // namespace qln

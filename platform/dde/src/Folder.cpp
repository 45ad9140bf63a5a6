#include "quillon/dde/Dde.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qln::dde {

std::filesystem::path conversationFolder()
{
    std::filesystem::path folder;
    if (const char* dir = std::getenv("QUILLON_DDE_DIR"); dir && *dir)
        folder = dir;
    else if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        folder = std::filesystem::path(run) / "quillon-dde";
    else
        folder = std::filesystem::temp_directory_path() / ("quillon-dde-" + std::to_string(::geteuid()));

    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw DdeError("Cannot create the conversation folder " + folder.string() + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        throw DdeError("Cannot read the conversation folder " + folder.string() + ": " + std::strerror(errno));
    // Another user's folder, a link, or one that others can enter would let them pose as a server.
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
        throw DdeError("The conversation folder " + folder.string() +
                       " is not a private folder of this user (it must have mode 0700)");
    return folder;
}

std::filesystem::path socketPath(std::string_view service, std::string_view topic)
{
    static const char* hex = "0123456789abcdef";
    std::string name;
    const auto add = [&](std::string_view part) {
        for (const char c : part) {
            const auto u = static_cast<unsigned char>(c);
            if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '_')
                name.push_back(c);
            else if (u >= 'A' && u <= 'Z')
                name.push_back(static_cast<char>(u - 'A' + 'a'));
            else {
                name.push_back('%');
                name.push_back(hex[u >> 4]);
                name.push_back(hex[u & 15]);
            }
        }
    };
    add(service);
    name += "%7c";
    add(topic);
    return conversationFolder() / (name + ".sock");
}

} // namespace qln::dde

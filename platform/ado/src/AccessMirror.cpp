#include "quillon/ado/AccessImport.h"

#include "AccessCopy.h"
#include "AccessReader.h"
#include "quillon/Error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qln::ado {

namespace {

[[noreturn]] void failMirror(const std::filesystem::path& file, const std::string& what)
{
    throw EngineError(kProviderError, detail::kAccessImportSource,
                      "Cannot mirror the Access file '" + file.string() + "': " + what);
}

// FNV-1a: stable across runs and builds, unlike std::hash.
std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string hex(std::uint64_t value)
{
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
    return buffer;
}

std::filesystem::path cacheFolder(const std::filesystem::path& accessFile)
{
    // Relative values of XDG_CACHE_HOME are to be ignored.
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "quillon" / "access-cache";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/')
        failMirror(accessFile, "there is no cache folder (neither XDG_CACHE_HOME nor HOME is set)");
    return std::filesystem::path(home) / ".cache" / "quillon" / "access-cache";
}

struct SourceState {
    std::filesystem::path absolute;
    struct stat status {};
};

SourceState stateOf(const std::filesystem::path& accessFile)
{
    SourceState state;
    std::error_code error;
    state.absolute = std::filesystem::canonical(accessFile, error);
    if (error)
        failMirror(accessFile, error.message());
    if (::stat(state.absolute.c_str(), &state.status) != 0)
        failMirror(accessFile, std::strerror(errno));
    return state;
}

bool sameState(const SourceState& a, const SourceState& b)
{
    return a.status.st_size == b.status.st_size && a.status.st_mtim.tv_sec == b.status.st_mtim.tv_sec &&
           a.status.st_mtim.tv_nsec == b.status.st_mtim.tv_nsec;
}

// "<path hash>-<state hash>-<name>.sqlite": every mirror of one path shares its first part.
std::string mirrorName(const SourceState& state, std::string& pathPrefix)
{
    pathPrefix = hex(fnv1a(state.absolute.string())) + "-";
    const std::string key = std::to_string(state.status.st_size) + "/" + std::to_string(state.status.st_mtim.tv_sec) +
                            "." + std::to_string(state.status.st_mtim.tv_nsec);
    std::string stem;
    for (const char c : state.absolute.stem().string()) {
        if (stem.size() == 40)
            break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        stem += plain ? c : '_';
    }
    return pathPrefix + hex(fnv1a(key, fnv1a(state.absolute.string()))) + "-" + stem + ".sqlite";
}

// Mirrors of earlier versions of the file; a process still reading one keeps its copy.
void removeOlderMirrors(const std::filesystem::path& folder, const std::string& prefix, const std::string& current)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name != current && name.rfind(prefix, 0) == 0 && name.size() > 7 &&
            name.compare(name.size() - 7, 7, ".sqlite") == 0) {
            std::error_code ignored;
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

} // namespace

std::filesystem::path mirrorAccessFile(const std::filesystem::path& accessFile)
{
    const SourceState before = stateOf(accessFile);
    const std::filesystem::path folder = cacheFolder(accessFile);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        failMirror(accessFile, "cannot create the cache folder '" + folder.string() + "': " + error.message());

    std::string prefix;
    const std::string name = mirrorName(before, prefix);
    const std::filesystem::path mirror = folder / name;
    // A mirror cut short, damaged or never finished is built again over itself.
    if (std::filesystem::exists(mirror, error) && detail::isCompleteMirror(mirror))
        return mirror;

    importAccessFile(before.absolute, mirror);
    // A file written to while it was read gives a mirror of neither version.
    if (!sameState(before, stateOf(accessFile))) {
        std::filesystem::remove(mirror, error);
        failMirror(accessFile, "it changed while it was being read");
    }
    removeOlderMirrors(folder, prefix, name);
    return mirror;
}

} // namespace qln::ado

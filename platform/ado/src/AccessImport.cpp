#include "quillon/ado/AccessImport.h"

#include "AccessCopy.h"
#include "AccessReader.h"
#include "ChildProcess.h"
#include "quillon/AtomicFile.h"
#include "quillon/InputFile.h"
#include "quillon/Error.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

// GCC says so with a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_ADDRESS_SANITIZER
#endif
#endif

namespace qln::ado {

using detail::ChildLimits;
using detail::ChildOutcome;
using detail::kAccessImportSource;

namespace {

[[noreturn]] void failFile(const std::filesystem::path& file, const std::string& what)
{
    throw EngineError(kProviderError, kAccessImportSource, "Cannot read '" + file.string() + "': " + what);
}

[[noreturn]] void failDamaged(const std::filesystem::path& file, const std::string& why)
{
    throw EngineError(kProviderError, kAccessImportSource,
                      "The Access file '" + file.string() + "' is damaged or not an Access database (" + why + ")");
}

// The reader program: installed in the libraries' own folder, or found in the build tree's
// bin folder next to lib.
std::filesystem::path readerProgram()
{
    Dl_info info{};
    std::filesystem::path libraries = "/usr/lib";
    if (::dladdr(reinterpret_cast<void*>(&readerProgram), &info) != 0 && info.dli_fname)
        libraries = std::filesystem::path(info.dli_fname).parent_path();
    const std::filesystem::path candidates[] = {
        libraries / "quillon-access-reader",
        libraries.parent_path() / "bin" / "quillon-access-reader",
    };
    for (const auto& candidate : candidates)
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    throw EngineError(kProviderError, kAccessImportSource,
                      "The Access reader program quillon-access-reader is not installed (looked in " +
                          candidates[0].parent_path().string() + " and " + candidates[1].parent_path().string() + ")");
}

} // namespace

FileKind detectFileKind(const std::filesystem::path& file)
{
    if (const auto why = irregularInput(file))
        failFile(file, *why);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        failFile(file, std::strerror(errno));
    char header[20] = {};
    std::size_t filled = 0;
    while (filled < sizeof header) {
        const ssize_t got = ::read(fd, header + filled, sizeof header - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            failFile(file, std::strerror(error));
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    const std::string_view bytes(header, filled);
    if (bytes.size() >= 16 && bytes.substr(0, 16) == std::string_view("SQLite format 3\0", 16))
        return FileKind::SQLite;
    if (bytes.size() >= 19 && (bytes.substr(4, 15) == "Standard Jet DB" || bytes.substr(4, 15) == "Standard ACE DB"))
        return FileKind::Access;
    return FileKind::Unknown;
}

namespace detail {

ChildLimits accessReadLimits(std::uintmax_t fileSize)
{
    ChildLimits limits;
    constexpr std::uint64_t kMiB = 1024 * 1024;
    const auto mebibytes = static_cast<long long>(fileSize / kMiB);
    // A whole file takes about 25 ms of processor time per MiB here: twenty times that
    // is still no sign of damage. The wall clock only has to outlast a busy machine.
    limits.cpuTime = std::chrono::milliseconds(10000 + mebibytes * 500);
    limits.wallTime = std::chrono::milliseconds(120000 + mebibytes * 4000);
#if defined(QUILLON_ADDRESS_SANITIZER)
    // Sanitized builds read many times slower, and the sanitizer's shadow memory needs
    // address space far beyond any such limit.
    limits.cpuTime *= 10;
    limits.wallTime *= 10;
    limits.addressSpace = 0;
#else
    // Libraries, bound column buffers and SQLite's cache, plus room for the file's pages.
    limits.addressSpace = 1024 * kMiB + 4 * static_cast<std::uint64_t>(fileSize);
#endif
    return limits;
}

void importAccessFile(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile,
                      const ChildLimits& limits)
{
    if (detectFileKind(accessFile) != FileKind::Access)
        failDamaged(accessFile, "its header is not that of an Access database");
    std::error_code sameError;
    if (std::filesystem::equivalent(accessFile, sqliteFile, sameError))
        failFile(accessFile, "it cannot be imported into itself");

    const std::filesystem::path program = readerProgram();
    try {
        AtomicFile temporary(sqliteFile);
        const ChildOutcome outcome = runChild(program, {accessFile.string(), temporary.writePath().string()}, limits);
        const bool exited = outcome.ending == ChildOutcome::Ending::Exited;
        if (exited && outcome.exitCode == kReaderCannotWrite)
            throw std::runtime_error(outcome.report);
        if (exited && outcome.exitCode == kChildCannotStart)
            throw std::runtime_error("the reader program '" + program.string() + "' cannot be started");
        if (outcome.ending != ChildOutcome::Ending::Exited || outcome.exitCode != 0)
            failDamaged(accessFile, exited && outcome.exitCode == kReaderDamaged && !outcome.report.empty()
                                        ? outcome.report
                                        : describeEnding(outcome, limits));
        if (!isCompleteMirror(temporary.writePath()))
            throw std::runtime_error("the reader left an incomplete copy");
        temporary.commit();
    } catch (const EngineError&) {
        throw;
    } catch (const std::exception& error) {
        throw EngineError(kProviderError, kAccessImportSource,
                          "Cannot import the Access file '" + accessFile.string() + "' into '" +
                              sqliteFile.string() + "': " + error.what());
    }
}

} // namespace detail

void importAccessFile(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(accessFile, error);
    detail::importAccessFile(accessFile, sqliteFile, detail::accessReadLimits(error ? 0 : size));
}

} // namespace qln::ado

#include "quillon/viewer/ResultsDatabase.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace qln::viewer {

namespace fs = std::filesystem;

namespace {

// A temporary file beside the target, removed unless committed.
class TempFile {
public:
    explicit TempFile(const fs::path& target)
    {
        std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) throw CopyFailed("Unable to create a temporary file beside " + target.string() + ": " +
                                     std::generic_category().message(errno));
        ::close(fd);
        m_path = pattern;
    }
    ~TempFile()
    {
        if (m_path.empty()) return;
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const fs::path& path() const { return m_path; }
    void commit() { m_path.clear(); }

private:
    fs::path m_path;
};

// Writes the file's data to the disk before the rename makes it the working copy.
void flushToDisk(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int code = errno;
        if (fd >= 0) ::close(fd);
        throw CopyFailed("Unable to write " + file.string() + ": " + std::generic_category().message(code));
    }
    ::close(fd);
}

} // namespace

int OverwriteOutputDB(const fs::path& outputFolder, const std::string& outputDBOrig, const std::string& outputDBFile)
{
    const fs::path orig = outputFolder / outputDBOrig;
    const fs::path working = outputFolder / outputDBFile;
    std::error_code error;
    if (!fs::is_regular_file(orig, error)) return -1;

    TempFile temp(working);
    fs::copy_file(orig, temp.path(), fs::copy_options::overwrite_existing, error);
    if (error) throw CopyFailed("Unable to copy " + orig.string() + " to " + working.string() + ": " + error.message());
    flushToDisk(temp.path());
    // A journal left by a session killed in the middle of a store belongs to the old file:
    // SQLite would play it back into the new one (the old session's rows and columns
    // beside the pristine ones). It goes before the new file takes the name.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const fs::path companion = working.string() + suffix;
        fs::remove(companion, error);
        if (error)
            throw CopyFailed("Unable to remove the stale journal " + companion.string() + ": " + error.message());
    }
    fs::rename(temp.path(), working, error);
    if (error) throw CopyFailed("Unable to replace " + working.string() + ": " + error.message());
    temp.commit();
    return 1;
}

} // namespace qln::viewer

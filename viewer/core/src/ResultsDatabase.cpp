#include "quillon/viewer/ResultsDatabase.h"

#include "quillon/AtomicFile.h"

#include <string>
#include <system_error>

namespace qln::viewer {

namespace fs = std::filesystem;

int OverwriteOutputDB(const fs::path& outputFolder, const std::string& outputDBOrig, const std::string& outputDBFile)
{
    const fs::path orig = outputFolder / outputDBOrig;
    const fs::path working = outputFolder / outputDBFile;
    std::error_code error;
    if (!fs::is_regular_file(orig, error)) return -1;

    try {
        AtomicFile copy(working, AtomicFile::Links::Replace);
        fs::copy_file(orig, copy.writePath(), fs::copy_options::overwrite_existing, error);
        if (error)
            throw CopyFailed("Unable to copy " + orig.string() + " to " + working.string() + ": " + error.message());
        // A journal left by a session killed in the middle of a store belongs to the old
        // file: SQLite would play it back into the new one (the old session's rows and
        // columns beside the pristine ones). It goes before the new file takes the name.
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const fs::path companion = working.string() + suffix;
            fs::remove(companion, error);
            if (error)
                throw CopyFailed("Unable to remove the stale journal " + companion.string() + ": " + error.message());
        }
        copy.commit();
    } catch (const OutputError& failure) {
        throw CopyFailed(std::string("Unable to replace ") + working.string() + ": " +
                         std::generic_category().message(failure.code()));
    }
    return 1;
}

} // namespace qln::viewer

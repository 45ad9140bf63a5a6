#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace qln::viewer {

// A copy that could not be made; the working database is as it was.
class CopyFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces outputFolder/outputDBFile by a copy of outputFolder/outputDBOrig. Returns -1,
// copying nothing, when the pristine file does not exist; 1 when the copy is in place.
// The copy goes to a temporary file in the same folder that is then renamed over the
// working file, so a failure (disk full, no permission) never leaves a half-written
// results database: it throws CopyFailed naming the file and removes the temporary file.
// A journal (-journal, -wal, -shm) of the working file, left by a session that was killed,
// is removed before the copy takes its place, so it is never played back into the copy.
int OverwriteOutputDB(const std::filesystem::path& outputFolder, const std::string& outputDBOrig,
                      const std::string& outputDBFile);

} // namespace qln::viewer

#pragma once

// Files written into a private folder beside their destination and moved into place as one
// set: an old file of the same name is kept aside until every new file is in place, and
// put back, with the new ones taken out again, when any move fails. Without commit() the
// destination is never touched and the staging folder is removed with what it holds, unless
// an old file could not be put back: then the folder stays, so that nothing is lost.

#include <filesystem>
#include <string>
#include <vector>

namespace qln::gis::detail {

class StagedFiles {
public:
    // Creates the staging folder in destination; throws GisError naming the folder when it
    // does not exist or cannot be written.
    StagedFiles(const std::filesystem::path& destination, const std::string& stem);
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // Where to write the file that will be destination / name.
    std::filesystem::path staged(const std::string& name) const { return m_folder / name; }

    // Syncs the staged files and moves them into the destination, replacing files of the
    // same names; files named in `stale` that belonged to the old set are removed. All or
    // nothing: throws GisError naming the file and leaves the old set as it was.
    void commit(const std::vector<std::string>& stale);

private:
    std::filesystem::path m_destination;
    std::filesystem::path m_folder;
    bool m_committed = false;
};

} // namespace qln::gis::detail

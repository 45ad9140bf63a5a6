#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qln {

// Output could not be written (disk full, closed pipe, no permission); programs exit 74.
class OutputError : public std::runtime_error {
public:
    explicit OutputError(const std::string& what, int code = 0) : std::runtime_error(what), m_code(code) {}
    // The errno behind the failure; 0 when there is none.
    int code() const { return m_code; }

private:
    int m_code;
};

// The output names one of the run's own inputs; programs treat it as a usage error (64).
class OutputIsInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws OutputIsInputError when the target is the same file (device and inode, through
// links) as one of the inputs. A target that does not exist yet conflicts with nothing.
void refuseOutputOverInputs(const std::filesystem::path& target, const std::vector<std::filesystem::path>& inputs);
// The same for every output of a run at once, and two outputs that name one regular file
// (or one new name) are refused too: the second would replace the first. Devices and FIFOs
// may take several outputs. Empty paths (outputs not asked for) are skipped.
void refuseOutputsOverInputs(const std::vector<std::filesystem::path>& outputs,
                             const std::vector<std::filesystem::path>& inputs);

// Writes every byte to the descriptor, retrying short writes; `name` names it in the error.
void writeAll(int fd, std::string_view bytes, const std::string& name);

// Makes the entries just created or renamed in the folder reach the disk; best effort, as
// some file systems cannot sync a folder.
void syncFolder(const std::filesystem::path& folder);

// Replaces a file whole or not at all. The contents go to a temporary file created
// exclusively beside the target (never through a link), which commit() syncs and renames
// over the target; until then, and after any failure, the target is untouched and the
// temporary file is removed. A symbolic link is followed and its target replaced; an
// existing file keeps its permission bits. A target that is not a regular file (a device,
// a FIFO) is written in place, never replaced. This is how every program and library
// replaces a file that must not be lost.
class AtomicFile {
public:
    // Follow: a link at the name is followed (the user's own link to where the file lives).
    // Replace: the link itself is replaced, for files written under a fixed name in a
    // shared place, where a link may have been planted.
    enum class Links { Follow, Replace };

    explicit AtomicFile(const std::filesystem::path& target, Links links = Links::Follow);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The path writers that open files themselves (SQLite) use: the temporary file, or the
    // target itself when it is written in place.
    const std::filesystem::path& writePath() const { return m_temporary.empty() ? m_target : m_temporary; }
    // The file that commit() replaces, after following links.
    const std::filesystem::path& target() const { return m_target; }

    void write(std::string_view bytes);
    // Syncs the contents and moves them over the target; throws OutputError on failure.
    void commit();

private:
    std::filesystem::path m_named;      // as the caller named it, for messages
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;  // empty when written in place
    int m_fd = -1;
};

} // namespace qln

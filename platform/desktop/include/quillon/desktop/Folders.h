#pragma once

// Folders of the desktop session.
//   temporaryFolder()       the system's temporary folder ($TMPDIR, else /tmp)
//   privateRuntimeFolder(n) a folder only this user can enter, for sockets, locks and the
//                           window directory: $XDG_RUNTIME_DIR/<n>, else <temp>/<n>-<uid>

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace qln::desktop {

// A folder of the session cannot be made or is not safe to use. The message names it.
class DesktopError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's temporary folder; throws DesktopError when it does not exist.
std::filesystem::path temporaryFolder();

// Creates the folder (mode 0700) when missing and returns it. Throws DesktopError when it
// cannot be made, or when what is there is a link, not a folder, owned by another user or
// open to group or others: another user could then forge or read what we keep there.
std::filesystem::path privateRuntimeFolder(std::string_view name);

} // namespace qln::desktop

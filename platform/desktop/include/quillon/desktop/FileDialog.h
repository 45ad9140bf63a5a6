#pragma once

// The open-file dialog service.
//   openFile(request)          -> the chosen file, or nothing when the user cancelled
//                                 (a quiet outcome, not an error)
//   parseFilter("Microsoft Access file (*.mdb)|*.mdb")   a "description|patterns|..." text
//   setFileDialogHandler(h)    who shows the dialog: GUI programs install the Qt handler of
//                              quillon_desktop_qt; the default (no display) chooses nothing
//                              and says so on standard error
//   FileDialogSeam seam;       for tests: while it lives no dialog is shown; choices come
//   seam.choose(path);         from its queue (then "cancelled") and every request is kept
// Safe to call from any thread.

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::desktop {

struct FileFilter {
    std::string description;            // "Microsoft Access file (*.mdb)"
    std::vector<std::string> patterns;  // "*.mdb"
};

struct OpenFileRequest {
    std::string title;
    std::filesystem::path initialFolder;
    std::vector<FileFilter> filters;
    bool fileMustExist = true;
    bool hideReadOnly = true;
    // When set, the dialog offers only the files for which it is true (folders always), so
    // a rule that judges files by content, not by name, decides what is listed.
    std::function<bool(const std::filesystem::path&)> offers = {};
};

// A chosen file: its full path, its folder with a trailing "/" and its bare name.
struct FileChoice {
    std::filesystem::path path;
    std::string folder;
    std::string fileName;
};

// Splits "description|patterns|description|patterns"; patterns are separated by ";".
// A trailing description without patterns is ignored.
std::vector<FileFilter> parseFilter(std::string_view filter);

// The folder (ending in "/") and the name of a chosen path.
FileChoice makeChoice(const std::filesystem::path& chosen);

class FileDialogHandler {
public:
    virtual ~FileDialogHandler() = default;
    // The chosen file, or nothing when cancelled.
    virtual std::optional<std::filesystem::path> openFile(const OpenFileRequest& request) = 0;
};

// Asks through the seam, else the installed handler. With fileMustExist, a choice that is
// not an existing file counts as nothing chosen.
std::optional<FileChoice> openFile(const OpenFileRequest& request);

// Installs the handler for the whole process; nullptr restores the default one.
void setFileDialogHandler(std::shared_ptr<FileDialogHandler> handler);

// Takes over every file dialog of the process while it lives (one seam at a time).
class FileDialogSeam {
public:
    FileDialogSeam();
    ~FileDialogSeam();
    FileDialogSeam(const FileDialogSeam&) = delete;
    FileDialogSeam& operator=(const FileDialogSeam&) = delete;

    // Queues the choice of a later dialog; cancel() queues a cancelled one.
    void choose(std::filesystem::path file);
    void cancel();
    std::vector<OpenFileRequest> requests() const;

private:
    friend std::optional<FileChoice> openFile(const OpenFileRequest& request);
    std::optional<std::filesystem::path> take(const OpenFileRequest& request);

    mutable std::mutex m_mutex;
    std::deque<std::optional<std::filesystem::path>> m_choices;
    std::vector<OpenFileRequest> m_requests;
};

} // namespace qln::desktop

#pragma once

#include "quillon/ado/Recordset.h"
#include "quillon/viewer/ReportOptions.h"
#include "quillon/word/Application.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace qln::viewer {

// The user's private folder for temporary documents: quillon under $XDG_RUNTIME_DIR, else
// quillon-<uid> under the system's temporary folder; created with mode 0700. A folder there
// that is a link, belongs to someone else or is open to others (and cannot be closed) is
// refused with an error naming it.
std::filesystem::path GetTempFolderPath();

// Removes the file (a link itself, never what it points to); true when nothing is left.
// word::DocumentLocked when an editor's lock file says the document is open.
bool RemoveFile(const std::filesystem::path& path);

// Clears the previous temporary document and starts the word processor.
std::unique_ptr<word::Application> Initialize_Word_Application(const std::filesystem::path& folder,
                                                                const std::string& fileName);

// Shows the saved document in the word processor; when none shows it, tells `finished`
// where the document was saved.
void ShowWordDocument(const word::Application& application, const std::filesystem::path& saved,
                      const Messages& messages);

// The month's name from the run's month list (monthseq, month); the number itself when
// the list has no such month.
std::string GetMonthStr(const ado::Recordset& months, long monthNumber);
// The month number of a name in the list; -1 when there is none.
long GetMonthSeq(const ado::Recordset& months, const std::string& monthName);

// A report stopped by the user before its document was saved.
struct ReportCancelled : std::runtime_error {
    ReportCancelled() : std::runtime_error("The report was cancelled.") {}
};

// Tells the messages' progress how far the report's step has come; throws ReportCancelled
// once the user has cancelled.
void ReportProgress(const Messages& messages, const char* step, long done, long total);

// Saves the document to `target`, leaving no file there when the user cancels meanwhile.
void SaveReportDocument(word::Document& document, const std::filesystem::path& target, const Messages& messages);

// The report procedures' status for a document that was made but could not be written
// (a full disk, a folder without write permission): a batch run exits 74 on it.
inline constexpr short kReportNotWritten = -2;

// Call only while an exception is being handled: shows the "already open" box when the
// document is locked by a word processor, else reports the error under the procedure's
// name. Returns -1, the report procedures' failure status, or kReportNotWritten.
short ReportDocumentFailure(const Messages& messages, const std::string& procedure);

} // namespace qln::viewer

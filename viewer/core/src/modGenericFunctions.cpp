#include "quillon/viewer/modGenericFunctions.h"

#include "quillon/AtomicFile.h"
#include "quillon/Error.h"
#include "quillon/Text.h"
#include "quillon/word/Document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qln::viewer {

std::filesystem::path GetTempFolderPath()
{
    std::filesystem::path folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && std::filesystem::is_directory(runtime))
        folder = std::filesystem::path(runtime) / "quillon";
    else
        folder = std::filesystem::temp_directory_path() / ("quillon-" + std::to_string(::getuid()));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("Cannot create the temporary folder " + folder.string() + ": " + std::strerror(errno));
    // lstat, not stat: a link planted at the name must not lead our documents elsewhere.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0)
        throw std::runtime_error("Cannot use the temporary folder " + folder.string() + ": " + std::strerror(errno));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        throw std::runtime_error("The temporary folder " + folder.string() +
                                 " is not a folder of this user; remove it or set XDG_RUNTIME_DIR.");
    if ((info.st_mode & 0077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        throw std::runtime_error("Cannot make the temporary folder " + folder.string() + " private: " +
                                 std::strerror(errno));
    return folder;
}

bool RemoveFile(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    const std::filesystem::path folder = path.parent_path();
    std::error_code error;
    const bool locked = std::filesystem::exists(folder / (".~lock." + name + "#"), error) ||
                        std::filesystem::exists(folder / ("~$" + name), error) ||
                        (name.size() > 2 && std::filesystem::exists(folder / ("~$" + name.substr(2)), error));
    if (locked)
        throw word::DocumentLocked(path);
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    return false;
}

void ShowWordDocument(const word::Application& application, const std::filesystem::path& saved,
                      const Messages& messages)
{
    if (!application.show(saved) && messages.finished)
        messages.finished("The report was saved as " + saved.string() + "; no word processor was opened to show it.");
}

std::unique_ptr<word::Application> Initialize_Word_Application(const std::filesystem::path& folder,
                                                                const std::string& fileName)
{
    RemoveFile(folder / fileName);
    return std::make_unique<word::Application>();
}

std::string GetMonthStr(const ado::Recordset& months, long monthNumber)
{
    ado::Recordset list = months.clone();
    for (; !list.eof(); list.moveNext()) {
        const auto seq = list.value("monthseq").number();
        if (seq && static_cast<long>(*seq) == monthNumber)
            return trimBlanks(list.value("month").text());
    }
    return std::to_string(monthNumber);
}

long GetMonthSeq(const ado::Recordset& months, const std::string& monthName)
{
    ado::Recordset list = months.clone();
    for (; !list.eof(); list.moveNext()) {
        if (trimBlanks(list.value("month").text()) == monthName) {
            const auto seq = list.value("monthseq").number();
            return seq ? static_cast<long>(*seq) : -1;
        }
    }
    return -1;
}

void ReportProgress(const Messages& messages, const char* step, long done, long total)
{
    if (messages.progress && !messages.progress(step, done, total))
        throw ReportCancelled();
}

void SaveReportDocument(word::Document& document, const std::filesystem::path& target, const Messages& messages)
{
    ReportProgress(messages, "Saving the document", 0, 0);
    document.saveAs(target, [&messages](long done, long total) {
        ReportProgress(messages, "Saving the document", done, total);
    });
    try {
        ReportProgress(messages, "Saving the document", 0, 0);
    } catch (const ReportCancelled&) {
        std::error_code ignored;
        std::filesystem::remove(target, ignored);
        throw;
    }
}

short ReportDocumentFailure(const Messages& messages, const std::string& procedure)
{
    try {
        throw;
    } catch (const word::DocumentLocked&) {
        if (messages.box)
            messages.box("Word Document already open.  Close the Word Document, then click Preview Report button.");
    } catch (const OutputError& error) {
        if (messages.report)
            messages.report(gmrERR, procedure, error.what());
        return kReportNotWritten;
    } catch (const EngineError& error) {
        if (messages.report)
            messages.report(gmrERR, procedure, hexNumber(error.number()) + " " + error.source() + ": " +
                                                   error.description());
    } catch (const std::exception& error) {
        if (messages.report)
            messages.report(gmrERR, procedure, error.what());
    }
    return -1;
}

} // namespace qln::viewer

// quillon-import: mirrors a genuine Access soils file (.mdb, .accdb) into SQLite, reads
// survey downloads (folders or zips of pipe-delimited text) into one SQLite soils database,
// or loads any of them into a schema on a PostgreSQL server.

#include "DownloadImport.h"
#include "PipeRecords.h"
#include "TableList.h"

#include "quillon/AtomicFile.h"
#include "quillon/Error.h"
#include "quillon/TemporaryFolder.h"
#include "quillon/ado/AccessImport.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/ServerAddress.h"
#include "quillon/ado/ServerImport.h"
#include "quillon/tools/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <unistd.h>

using qln::tools::kExitFailed;
using qln::tools::kExitOutput;
using qln::tools::kExitUsage;

int main(int argc, char** argv)
{
    // A closed pipe is a write error with a message and exit 74, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    CLI::App app{"Mirror an Access database (.mdb or .accdb) into an SQLite file, or read survey downloads\n"
                 "(download folders, their tabular folders or zips) into one SQLite soils database.\n"
                 "Without --output an Access mirror goes to the user's cache folder and its path is printed.\n"
                 "With --to the soils database (Access, SQLite or downloads) is loaded into a schema on a PostgreSQL server."};
    std::vector<std::string> inputs;
    std::string output;
    std::string server;
    bool list = false;
    app.add_option("INPUT", inputs,
                   "The Access database to import, or one or more survey downloads to merge (with --to: also an "
                   "SQLite file)")
        ->required();
    auto* outputOption = app.add_option("-o,--output", output, "Write the SQLite file here (replaced if it exists)");
    app.add_option("--to", server,
                   "Load into postgresql://[user@]host[:port]/database[?schema=name] (tables of the same names "
                   "are replaced; the password from PGPASSWORD or ~/.pgpass)")
        ->excludes(outputOption);
    app.add_flag("-l,--list", list, "Print each table with its row count (tab-separated)");
    if (const auto status = qln::tools::parseCommandLine(app, argc, argv, "quillon-import"))
        return *status;

    std::string accessFile = inputs.front();
    const bool downloads = qln::download::isDownload(accessFile);
    if (inputs.size() > 1 && !std::all_of(inputs.begin(), inputs.end(), qln::download::isDownload)) {
        std::cerr << "quillon-import: only survey downloads (folders or zips) can be merged; give one Access file\n";
        return kExitUsage;
    }
    if (downloads && output.empty() && server.empty()) {
        std::cerr << "quillon-import: a survey download needs --output FILE.sqlite or --to\n";
        return kExitUsage;
    }
    if (!server.empty() && !qln::ado::isServerAddress(server)) {
        std::cerr << "quillon-import: --to takes a postgresql:// address\n";
        return kExitUsage;
    }
    std::optional<qln::TemporaryFolder> temporaryFolder;
    try {
        if (downloads) {
            std::vector<std::filesystem::path> paths(inputs.begin(), inputs.end());
            qln::download::ImportReport report;
            report.loaded = [&](std::string_view survey, std::string_view table, std::int64_t rows) {
                if (!list && server.empty())
                    std::cerr << "read " << table << " (" << rows << " rows) of " << survey << '\n';
            };
            report.note = [](const std::string& note) { std::cerr << "quillon-import: " << note << '\n'; };
            std::filesystem::path target = output;
            if (!server.empty()) {
                // The server load reads an SQLite file: the downloads go into one first.
                temporaryFolder.emplace(std::filesystem::temp_directory_path(), "quillon-import-");
                target = temporaryFolder->path() / "survey.sqlite";
            }
            // The database must not replace one of the zips it is read from.
            qln::refuseOutputOverInputs(target, paths);
            qln::download::importDownloads(paths, target, report);
            if (!server.empty())
                accessFile = target.string();
        }
        if (!server.empty()) {
            const std::string target = qln::ado::serverConnectString(server);
            qln::ado::importToServer("DBQ=" + qln::ado::quoteConnectionValue(accessFile) + ";", target,
                                     [&](std::string_view table, std::int64_t rows) {
                                         if (list)
                                             std::cout << table << '\t' << rows << '\n';
                                         else
                                             std::cerr << "loaded " << table << " (" << rows << " rows)\n";
                                     });
            return std::cout.flush() ? 0 : kExitOutput;
        }
        std::filesystem::path sqliteFile;
        if (downloads) {
            sqliteFile = output;
        } else if (output.empty()) {
            sqliteFile = qln::ado::mirrorAccessFile(accessFile);
            std::cout << sqliteFile.string() << '\n';
        } else {
            sqliteFile = output;
            qln::ado::importAccessFile(accessFile, sqliteFile);
        }
        if (list) {
            for (const auto& table : qln::tools::listTables(sqliteFile))
                std::cout << table.name << '\t' << table.rows << '\n';
        }
        if (std::cout.flush())
            return 0;
        std::cerr << "quillon-import: cannot write standard output: " << std::strerror(errno) << '\n';
        return kExitOutput;
    } catch (const qln::EngineError& error) {
        std::cerr << "quillon-import: " << error.description() << '\n';
    } catch (const qln::OutputIsInputError& error) {
        std::cerr << "quillon-import: " << error.what() << '\n';
        return kExitUsage;
    } catch (const qln::download::DownloadError& error) {
        std::cerr << "quillon-import: " << error.what() << '\n';
    } catch (const std::exception& error) {
        std::cerr << "quillon-import: " << accessFile << ": " << error.what() << '\n';
    }
    return kExitFailed;
}

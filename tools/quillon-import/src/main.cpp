// quillon-import: mirrors a genuine Access soils file (.mdb, .accdb) into SQLite, or loads
// an Access or SQLite soils database into a schema on a PostgreSQL server.

#include "TableList.h"

#include "quillon/Error.h"
#include "quillon/ado/AccessImport.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/ServerAddress.h"
#include "quillon/ado/ServerImport.h"
#include "quillon/tools/CommandLine.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

using qln::tools::kExitFailed;
using qln::tools::kExitOutput;
using qln::tools::kExitUsage;

int main(int argc, char** argv)
{
    // A closed pipe is a write error with a message and exit 74, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    CLI::App app{"Mirror an Access database (.mdb or .accdb) into an SQLite file.\n"
                 "Without --output the mirror goes to the user's cache folder and its path is printed.\n"
                 "With --to the soils database (Access or SQLite) is loaded into a schema on a PostgreSQL server."};
    std::string accessFile;
    std::string output;
    std::string server;
    bool list = false;
    app.add_option("ACCESSFILE", accessFile, "The Access database to import (with --to: an Access or SQLite file)")
        ->required();
    auto* outputOption = app.add_option("-o,--output", output, "Write the SQLite file here (replaced if it exists)");
    app.add_option("--to", server,
                   "Load into postgresql://[user@]host[:port]/database[?schema=name] (tables of the same names "
                   "are replaced; the password from PGPASSWORD or ~/.pgpass)")
        ->excludes(outputOption);
    app.add_flag("-l,--list", list, "Print each table with its row count (tab-separated)");
    if (const auto status = qln::tools::parseCommandLine(app, argc, argv, "quillon-import"))
        return *status;

    try {
        if (!server.empty()) {
            if (!qln::ado::isServerAddress(server)) {
                std::cerr << "quillon-import: --to takes a postgresql:// address\n";
                return kExitUsage;
            }
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
        if (output.empty()) {
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
    } catch (const std::exception& error) {
        std::cerr << "quillon-import: " << accessFile << ": " << error.what() << '\n';
    }
    return kExitFailed;
}

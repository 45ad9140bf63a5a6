// quillon-access-reader: copies the tables of an Access file into an existing, empty
// SQLite file. The import runs it as a child process under memory and time limits, so
// that libmdb's crashes, loops and printing on a damaged file never reach the program
// the user runs. Not meant to be run by hand.
//
// Usage: quillon-access-reader ACCESSFILE SQLITEFILE
// Exit 0 done, 3 the Access file is damaged, 4 the SQLite file cannot be written, 64 wrong
// arguments; the reason goes to file descriptor 3.

#include "AccessCopy.h"
#include "quillon/Error.h"

#include <new>
#include <string>
#include <unistd.h>

namespace {

int report(int status, const std::string& reason)
{
    std::size_t written = 0;
    while (written < reason.size()) {
        const ssize_t got = ::write(3, reason.data() + written, reason.size() - written);
        if (got <= 0)
            break;
        written += static_cast<std::size_t>(got);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace qln::ado::detail;
    if (argc != 3)
        return report(64, "usage: quillon-access-reader ACCESSFILE SQLITEFILE");
    try {
        copyAccessTables(argv[1], argv[2]);
        return 0;
    } catch (const qln::EngineError& error) {
        return report(kReaderDamaged, error.description());
    } catch (const std::bad_alloc&) {
        return report(kReaderDamaged, "reading it needs more memory than a file of its size can");
    } catch (const std::exception& error) {
        return report(kReaderCannotWrite, error.what());
    }
}

#include "AtomicFile.h"

#include "quillon/AtomicFile.h"
#include "quillon/desktop/Folders.h"

namespace qln::desktop::detail {

void replaceFile(const std::filesystem::path& file, std::string_view contents)
{
    try {
        qln::AtomicFile out(file);
        out.write(contents);
        out.commit();
    } catch (const std::exception& error) {
        throw DesktopError(error.what());
    }
}

} // namespace qln::desktop::detail

#include "quillon/TemporaryFolder.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

namespace qln {

TemporaryFolder::TemporaryFolder(const std::filesystem::path& parent, const std::string& prefix)
{
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::filesystem::filesystem_error("cannot make a temporary folder in", parent,
                                                std::error_code(errno, std::generic_category()));
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace qln

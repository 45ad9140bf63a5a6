#include "quillon/word/Application.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

extern char** environ;

namespace qln::word {

Document& Application::addDocument(const std::filesystem::path& templatePath)
{
    m_documents.push_back(std::make_unique<Document>(templatePath));
    return *m_documents.back();
}

bool Application::show(const std::filesystem::path& saved) const
{
    if (std::getenv("QUILLON_NO_OPEN"))
        return false;
    // xdg-open hands the file to the desktop's default application and returns.
    const std::string program = "xdg-open";
    const std::string file = saved.string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace qln::word

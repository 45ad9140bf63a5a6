#include "quillon/desktop/FileDialog.h"

#include <cstdio>
#include <stdexcept>

namespace qln::desktop {

namespace {

class NoDisplayFileDialog final : public FileDialogHandler {
public:
    std::optional<std::filesystem::path> openFile(const OpenFileRequest& request) override
    {
        std::fprintf(stderr, "%s: no file dialog can be shown here; nothing chosen\n",
                     request.title.empty() ? "Open" : request.title.c_str());
        return std::nullopt;
    }
};

struct Service {
    std::mutex mutex;
    std::shared_ptr<FileDialogHandler> handler = std::make_shared<NoDisplayFileDialog>();
    FileDialogSeam* seam = nullptr;
};

Service& service()
{
    static Service instance;
    return instance;
}

std::vector<std::string> splitPatterns(std::string_view text)
{
    std::vector<std::string> patterns;
    while (!text.empty()) {
        const auto end = text.find(';');
        const auto pattern = text.substr(0, end);
        if (!pattern.empty()) patterns.emplace_back(pattern);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return patterns;
}

} // namespace

std::vector<FileFilter> parseFilter(std::string_view filter)
{
    std::vector<FileFilter> filters;
    while (!filter.empty()) {
        const auto bar = filter.find('|');
        if (bar == std::string_view::npos) break;
        FileFilter entry;
        entry.description = std::string(filter.substr(0, bar));
        filter.remove_prefix(bar + 1);
        const auto next = filter.find('|');
        entry.patterns = splitPatterns(filter.substr(0, next));
        filters.push_back(std::move(entry));
        if (next == std::string_view::npos) break;
        filter.remove_prefix(next + 1);
    }
    return filters;
}

FileChoice makeChoice(const std::filesystem::path& chosen)
{
    FileChoice choice;
    choice.path = chosen;
    choice.fileName = chosen.filename().string();
    std::string folder = chosen.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    choice.folder = std::move(folder);
    return choice;
}

std::optional<FileChoice> openFile(const OpenFileRequest& request)
{
    auto& state = service();
    std::optional<std::filesystem::path> chosen;
    std::shared_ptr<FileDialogHandler> handler;
    {
        const std::lock_guard lock(state.mutex);
        if (state.seam)
            chosen = state.seam->take(request);
        else
            handler = state.handler;
    }
    if (handler) chosen = handler->openFile(request);
    if (!chosen || chosen->empty()) return std::nullopt;
    std::error_code error;
    if (request.fileMustExist && !std::filesystem::is_regular_file(*chosen, error)) return std::nullopt;
    return makeChoice(std::filesystem::absolute(*chosen, error).lexically_normal());
}

void setFileDialogHandler(std::shared_ptr<FileDialogHandler> handler)
{
    auto& state = service();
    const std::lock_guard lock(state.mutex);
    state.handler = handler ? std::move(handler) : std::make_shared<NoDisplayFileDialog>();
}

FileDialogSeam::FileDialogSeam()
{
    auto& state = service();
    const std::lock_guard lock(state.mutex);
    if (state.seam) throw std::logic_error("a file-dialog seam is already installed");
    state.seam = this;
}

FileDialogSeam::~FileDialogSeam()
{
    auto& state = service();
    const std::lock_guard lock(state.mutex);
    state.seam = nullptr;
}

void FileDialogSeam::choose(std::filesystem::path file)
{
    const std::lock_guard lock(m_mutex);
    m_choices.emplace_back(std::move(file));
}

void FileDialogSeam::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_choices.emplace_back(std::nullopt);
}

std::vector<OpenFileRequest> FileDialogSeam::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

std::optional<std::filesystem::path> FileDialogSeam::take(const OpenFileRequest& request)
{
    const std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    if (m_choices.empty()) return std::nullopt;
    auto choice = std::move(m_choices.front());
    m_choices.pop_front();
    return choice;
}

} // namespace qln::desktop

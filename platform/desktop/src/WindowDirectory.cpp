#include "quillon/desktop/WindowDirectory.h"

#include "AtomicFile.h"
#include "Process.h"
#include "quillon/desktop/Folders.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qln::desktop {

namespace {

constexpr std::string_view kSuffix = ".window";
constexpr std::string_view kMagic = "quillon-window 1\n";
// Titles are short; anything larger is not one of our entries.
constexpr std::uintmax_t kMaxEntrySize = 64 * 1024;

struct Entry {
    WindowInfo info;
    std::uint64_t started = 0;
    std::int64_t stamp = 0;
};

std::int64_t now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

template <class Number>
bool parseNumber(std::string_view text, Number& out)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// The title comes last and runs to the end of the file, so any text survives unchanged.
std::string serialise(const Entry& entry)
{
    std::string text(kMagic);
    text += "process " + std::to_string(entry.info.process) + "\n";
    text += "started " + std::to_string(entry.started) + "\n";
    text += "stamp " + std::to_string(entry.stamp) + "\n";
    text += std::string("visible ") + (entry.info.visible ? "1" : "0") + "\n";
    text += "title " + entry.info.title;
    return text;
}

// Reads the next "key value" line; false at the end or on a malformed line.
bool nextField(std::string_view& text, std::string_view key, std::string_view& value)
{
    if (text.substr(0, key.size()) != key || text.size() <= key.size() || text[key.size()] != ' ') return false;
    text.remove_prefix(key.size() + 1);
    const auto end = text.find('\n');
    if (end == std::string_view::npos) return false;
    value = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

std::optional<Entry> parse(std::string_view text, std::string id)
{
    if (text.substr(0, kMagic.size()) != kMagic) return std::nullopt;
    text.remove_prefix(kMagic.size());
    Entry entry;
    entry.info.id = std::move(id);
    std::string_view value;
    if (!nextField(text, "process", value) || !parseNumber(value, entry.info.process)) return std::nullopt;
    if (!nextField(text, "started", value) || !parseNumber(value, entry.started)) return std::nullopt;
    if (!nextField(text, "stamp", value) || !parseNumber(value, entry.stamp)) return std::nullopt;
    if (!nextField(text, "visible", value) || (value != "0" && value != "1")) return std::nullopt;
    entry.info.visible = value == "1";
    if (text.substr(0, 6) != "title ") return std::nullopt;
    entry.info.title = std::string(text.substr(6));
    return entry;
}

std::optional<std::string> readSmallFile(const std::filesystem::path& file)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > kMaxEntrySize) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(size, '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) return std::nullopt;
    return text;
}

// The process number at the front of an entry's or a temporary file's name.
std::optional<pid_t> ownerOfName(std::string_view name)
{
    if (!name.empty() && name.front() == '.') name.remove_prefix(1);
    const auto dash = name.find('-');
    pid_t process = 0;
    if (dash == std::string_view::npos || !parseNumber(name.substr(0, dash), process)) return std::nullopt;
    return process;
}

} // namespace

std::filesystem::path windowDirectory()
{
    const auto folder = privateRuntimeFolder("quillon-desktop") / "windows";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw DesktopError("The folder " + folder.string() + " cannot be made: " + std::strerror(errno));
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(folder, error)))
        throw DesktopError("The folder " + folder.string() + " is not a folder");
    return folder;
}

std::vector<WindowInfo> topLevelWindows()
{
    const auto folder = windowDirectory();
    std::vector<Entry> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const auto path = it->path();
        const std::string name = path.filename().string();
        const bool isEntry = name.size() > kSuffix.size() && name.front() != '.' &&
                             name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
        if (!isEntry) {
            // A temporary file left by a process that died while writing.
            const auto owner = ownerOfName(name);
            if (name.front() == '.' && owner && !detail::processStartTime(*owner)) std::filesystem::remove(path, error);
            error.clear();
            continue;
        }
        const auto text = readSmallFile(path);
        if (!text) continue;  // removed while we listed, or not ours
        auto entry = parse(*text, name.substr(0, name.size() - kSuffix.size()));
        if (!entry) continue;
        if (!detail::processAlive(entry->info.process, entry->started)) {
            // The name carries the start time, so a later process with the same number
            // never writes this file: removing it cannot lose a live window.
            std::filesystem::remove(path, error);
            error.clear();
            continue;
        }
        entries.push_back(std::move(*entry));
    }
    if (error) throw DesktopError("The folder " + folder.string() + " cannot be read: " + error.message());

    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.info.id < b.info.id;
    });
    std::vector<WindowInfo> windows;
    windows.reserve(entries.size());
    for (auto& entry : entries) windows.push_back(std::move(entry.info));
    return windows;
}

struct PublishedWindow::Impl {
    mutable std::mutex mutex;
    std::filesystem::path file;
    Entry entry;

    void write(Entry next)
    {
        detail::replaceFile(file, serialise(next));
        entry = std::move(next);
    }
};

PublishedWindow::PublishedWindow(std::string_view title, bool visible)
    : m_impl(std::make_unique<Impl>())
{
    static std::atomic<std::uint64_t> serial{0};
    Entry entry;
    entry.info.process = ::getpid();
    // Read each time, never cached: a child after fork() is another process.
    entry.started = detail::processStartTime(entry.info.process).value_or(0);
    entry.stamp = now();
    entry.info.visible = visible;
    entry.info.title = std::string(title);
    entry.info.id = std::to_string(entry.info.process) + "-" + std::to_string(entry.started) + "-" +
                    std::to_string(++serial);
    m_impl->file = windowDirectory() / (entry.info.id + std::string(kSuffix));
    m_impl->write(std::move(entry));
}

PublishedWindow::~PublishedWindow()
{
    if (m_impl->entry.info.process != ::getpid()) return;
    std::error_code ignored;
    std::filesystem::remove(m_impl->file, ignored);
}

const std::string& PublishedWindow::id() const
{
    return m_impl->entry.info.id;
}

WindowInfo PublishedWindow::info() const
{
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->entry.info;
}

void PublishedWindow::setTitle(std::string_view title)
{
    const std::lock_guard lock(m_impl->mutex);
    Entry next = m_impl->entry;
    next.info.title = std::string(title);
    m_impl->write(std::move(next));
}

void PublishedWindow::setVisible(bool visible)
{
    const std::lock_guard lock(m_impl->mutex);
    Entry next = m_impl->entry;
    next.info.visible = visible;
    m_impl->write(std::move(next));
}

void PublishedWindow::update(std::string_view title, bool visible)
{
    const std::lock_guard lock(m_impl->mutex);
    Entry next = m_impl->entry;
    next.info.title = std::string(title);
    next.info.visible = visible;
    m_impl->write(std::move(next));
}

void PublishedWindow::raise()
{
    const std::lock_guard lock(m_impl->mutex);
    Entry next = m_impl->entry;
    next.stamp = now();
    m_impl->write(std::move(next));
}

} // namespace qln::desktop

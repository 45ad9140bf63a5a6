#include "quillon/registry/Registry.h"

#include "Layout.h"
#include "quillon/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qln::registry {

namespace fs = std::filesystem;

namespace {

// A folder vanishing under a write means another process deleted the key; the write then
// starts again from the top, which re-creates it.
constexpr int kAttempts = 20;
constexpr std::string_view kMagic = "QRV1";

[[noreturn]] void fail(std::string_view what, const fs::path& file, int err)
{
    throw RegistryError(std::string(what) + " " + file.string() + ": " +
                        std::generic_category().message(err));
}

bool isMissing(int err) { return err == ENOENT || err == ENOTDIR; }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { if (m_fd >= 0) ::close(m_fd); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, so that a failed close (a full disk on some file systems) is seen.
    int close() { const int rc = ::close(m_fd); m_fd = -1; return rc; }

private:
    int m_fd;
};

// Removes a temporary file or folder unless it was renamed into place.
class TemporaryPath {
public:
    explicit TemporaryPath(fs::path path) : m_path(std::move(path)) {}
    ~TemporaryPath()
    {
        std::error_code ignored;
        if (!m_path.empty()) fs::remove_all(m_path, ignored);
    }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;
    void release() { m_path.clear(); }

private:
    fs::path m_path;
};

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isPlain(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' ||
           c == '_' || c == '.';
}

// The file name of a key or value: its name case-folded with every byte outside a small
// safe set written as %xx, so each name maps to one harmless name inside its folder.
std::string encodeName(std::string_view prefix, std::string_view name)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out(prefix);
    for (const char c : name) {
        const char folded = foldAscii(c);
        if (isPlain(folded)) {
            out += folded;
        } else {
            const auto byte = static_cast<unsigned char>(folded);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string fileName(std::string_view prefix, std::string_view name)
{
    std::string out = encodeName(prefix, name);
    if (out.size() > NAME_MAX) throw RegistryError("Registry name too long: \"" + std::string(name) + "\"");
    return out;
}

// The (case-folded) name behind a file name, for a key whose display name is unreadable.
std::string nameFromFileName(std::string_view file)
{
    std::string out;
    for (std::size_t i = 0; i < file.size(); ++i) {
        unsigned byte = 0;
        if (file[i] == '%' && i + 2 < file.size() &&
            std::from_chars(file.data() + i + 1, file.data() + i + 3, byte, 16).ptr == file.data() + i + 3) {
            out += static_cast<char>(byte);
            i += 2;
        } else {
            out += file[i];
        }
    }
    return out;
}

// The names of a key path; empty segments are skipped and "." or ".." are refused.
std::vector<std::string_view> keyNames(std::string_view key)
{
    std::vector<std::string_view> names;
    std::size_t start = 0;
    while (start <= key.size()) {
        const std::size_t end = std::min(key.find('\\', start), key.size());
        const std::string_view name = key.substr(start, end - start);
        if (name == "." || name == "..")
            throw RegistryError("Registry key \"" + std::string(key) + "\" may not contain \"" +
                                std::string(name) + "\"");
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

// The whole file, or nothing when it does not exist.
std::optional<std::string> readFile(const fs::path& file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (isMissing(errno)) return std::nullopt;
        fail("Cannot open registry file", file, errno);
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return bytes;
        if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR) fail("Cannot read registry file", file, errno);
    }
}

// Replaces the file whole and synced, so that readers see the old or the new content, never
// a part, and a crash loses no value once written. False when the folder is gone. A link
// planted at the name is replaced, never followed.
bool writeAtomically(const fs::path& target, std::string_view bytes)
{
    try {
        AtomicFile file(target, AtomicFile::Links::Replace);
        file.write(bytes);
        file.commit();
        return true;
    } catch (const OutputError& error) {
        if (isMissing(error.code())) return false;
        fail("Cannot write registry file", target, error.code() ? error.code() : EIO);
    }
}

void writeAll(int fd, std::string_view bytes, const fs::path& file)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("Cannot write registry file", file, errno);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Makes a key folder with its display name already inside: it is filled under a temporary
// name and renamed, so no one sees a key without its name, and when two processes create
// the same key the loser's rename fails on the full folder and both succeed.
// False when the parent folder is gone.
bool makeKeyFolder(const fs::path& folder, std::string_view displayName)
{
    std::string temporary = (folder.parent_path() / ".new-XXXXXX").string();
    if (::mkdtemp(temporary.data()) == nullptr) {
        if (isMissing(errno)) return false;
        fail("Cannot create registry key", folder, errno);
    }
    TemporaryPath guard(temporary);
    ::chmod(temporary.c_str(), 0755);
    const fs::path nameFile = fs::path(temporary) / layout::kDisplayNameFile;
    FileDescriptor fd(::open(nameFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) fail("Cannot create registry key", folder, errno);
    writeAll(fd.get(), displayName, nameFile);
    if (::fsync(fd.get()) != 0 || fd.close() != 0) fail("Cannot create registry key", folder, errno);
    syncFolder(temporary);
    if (::rename(temporary.c_str(), folder.c_str()) == 0) {
        guard.release();
        // A value written into the new key is synced; the key's own entry must be too.
        syncFolder(folder.parent_path());
        return true;
    }
    if (errno == EEXIST || errno == ENOTEMPTY) return true;
    if (isMissing(errno)) return false;
    fail("Cannot create registry key", folder, errno);
}

// Value file: "QRV1 <type> <name length> <data length>\n", the name as first written,
// then the data (a DWord as decimal text). Lengths let a truncated file be told apart.
std::string encodeValue(std::string_view name, const Value& value)
{
    const std::string data = value.type == ValueType::DWord ? std::to_string(value.number) : value.text;
    return std::string(kMagic) + ' ' + std::to_string(static_cast<std::uint32_t>(value.type)) + ' ' +
           std::to_string(name.size()) + ' ' + std::to_string(data.size()) + '\n' +
           std::string(name) + data;
}

struct StoredValue {
    std::string name;
    Value value;
};

// Reads " <decimal>" off the front of `text`.
bool takeNumber(std::string_view& text, std::uint64_t& number)
{
    if (!text.starts_with(' ')) return false;
    const char* first = text.data() + 1;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), number);
    if (ec != std::errc() || end == first) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

// The stored value, or nothing with the reason in `problem`.
std::optional<StoredValue> parseValue(std::string_view bytes, std::string_view& problem)
{
    const std::size_t eol = bytes.find('\n');
    std::string_view header = bytes.substr(0, eol);
    if (eol == std::string_view::npos || !header.starts_with(kMagic)) {
        problem = "not a registry value";
        return std::nullopt;
    }
    header.remove_prefix(kMagic.size());
    std::uint64_t numbers[3] = {};
    bool wellFormed = true;
    for (auto& number : numbers) wellFormed = wellFormed && takeNumber(header, number);
    if (!wellFormed || !header.empty()) {
        problem = "bad header";
        return std::nullopt;
    }
    const auto [type, nameLength, dataLength] = numbers;
    const std::string_view body = bytes.substr(eol + 1);
    if (nameLength > body.size() || dataLength != body.size() - nameLength) {
        problem = "truncated or overlong";
        return std::nullopt;
    }
    StoredValue stored{std::string(body.substr(0, nameLength)), {}};
    const std::string_view data = body.substr(nameLength);
    switch (type) {
    case static_cast<std::uint32_t>(ValueType::String):
    case static_cast<std::uint32_t>(ValueType::ExpandString):
        stored.value.type = static_cast<ValueType>(type);
        stored.value.text = data;
        return stored;
    case static_cast<std::uint32_t>(ValueType::DWord): {
        stored.value.type = ValueType::DWord;
        const auto [end, ec] = std::from_chars(data.data(), data.data() + data.size(), stored.value.number);
        if (ec == std::errc() && end == data.data() + data.size() && !data.empty()) return stored;
        problem = "bad number";
        return std::nullopt;
    }
    default:
        problem = "unknown value type";
        return std::nullopt;
    }
}

StoredValue decodeValue(std::string_view bytes, const fs::path& file)
{
    std::string_view problem;
    if (auto stored = parseValue(bytes, problem)) return std::move(*stored);
    throw RegistryError("Corrupt registry value file " + file.string() + ": " + std::string(problem));
}

// Names in a folder that start with `prefix`; none when the folder does not exist.
std::vector<std::string> listFolder(const fs::path& folder, std::string_view prefix)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) names.push_back(std::move(name));
    }
    if (ec && !isMissing(ec.value())) fail("Cannot list registry key", folder, ec.value());
    return names;
}

// Removes a folder that was already renamed out of sight; a writer that resolved its path
// just before may still drop a file in, so a failure is retried.
void removeDetached(const fs::path& folder)
{
    std::error_code ec;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        fs::remove_all(folder, ec);
        if (!ec) return;
    }
    fail("Cannot remove deleted registry key", folder, ec.value());
}

} // namespace

std::optional<Hive> hiveFromHandle(std::uint32_t handle)
{
    if (handle < static_cast<std::uint32_t>(Hive::ClassesRoot) || handle > static_cast<std::uint32_t>(Hive::DynData))
        return std::nullopt;
    return static_cast<Hive>(handle);
}

std::string_view hiveName(Hive hive)
{
    switch (hive) {
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Hive::Users: return "HKEY_USERS";
    case Hive::PerformanceData: return "HKEY_PERFORMANCE_DATA";
    case Hive::CurrentConfig: return "HKEY_CURRENT_CONFIG";
    case Hive::DynData: return "HKEY_DYN_DATA";
    }
    return {};
}

Store::Store(fs::path root) : m_root(std::move(root)) {}

Store Store::fromEnvironment()
{
    const auto env = [](const char* name) -> std::string_view {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    if (const auto root = env("QUILLON_REGISTRY_ROOT"); !root.empty()) return Store(fs::path(root));
    // A relative XDG_DATA_HOME is to be ignored.
    if (const auto data = env("XDG_DATA_HOME"); data.starts_with('/'))
        return Store(fs::path(data) / "quillon" / "registry");
    if (const auto home = env("HOME"); !home.empty())
        return Store(fs::path(home) / ".local" / "share" / "quillon" / "registry");
    throw RegistryError("Cannot place the registry: neither QUILLON_REGISTRY_ROOT nor HOME is set");
}

fs::path Store::keyFolder(Hive hive, std::string_view key) const
{
    const std::string_view hiveFolder = hiveName(hive);
    if (hiveFolder.empty())
        throw RegistryError("Invalid registry hive " + std::to_string(static_cast<std::uint32_t>(hive)));
    fs::path folder = m_root / hiveFolder;
    for (const std::string_view name : keyNames(key)) folder /= fileName(layout::kKeyPrefix, name);
    return folder;
}

bool Store::keyExists(Hive hive, std::string_view key) const
{
    const fs::path folder = keyFolder(hive, key);
    std::error_code ec;
    return keyNames(key).empty() || fs::is_directory(folder, ec);
}

void Store::createKey(Hive hive, std::string_view key)
{
    const std::vector<std::string_view> names = keyNames(key);
    const fs::path hiveFolder = keyFolder(hive, {});
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::error_code ec;
        fs::create_directories(hiveFolder, ec);
        if (ec) fail("Cannot create registry folder", hiveFolder, ec.value());
        fs::path folder = hiveFolder;
        bool complete = true;
        for (const std::string_view name : names) {
            folder /= fileName(layout::kKeyPrefix, name);
            if (!fs::is_directory(folder, ec) && !makeKeyFolder(folder, name)) {
                complete = false;
                break;
            }
        }
        if (complete) return;
    }
    fail("Cannot create registry key", keyFolder(hive, key), ENOENT);
}

bool Store::deleteKey(Hive hive, std::string_view key)
{
    if (keyNames(key).empty())
        throw RegistryError("A registry hive cannot be deleted: " + std::string(hiveName(hive)));
    const fs::path folder = keyFolder(hive, key);
    // Renaming the key onto a fresh empty folder takes the whole subtree out of sight at
    // once; whoever still writes below it finds its folder gone and re-creates the key.
    std::string detached = (folder.parent_path() / ".del-XXXXXX").string();
    if (::mkdtemp(detached.data()) == nullptr) {
        if (isMissing(errno)) return false;
        fail("Cannot delete registry key", folder, errno);
    }
    if (::rename(folder.c_str(), detached.c_str()) != 0) {
        const int err = errno;
        ::rmdir(detached.c_str());
        if (isMissing(err)) return false;
        fail("Cannot delete registry key", folder, err);
    }
    removeDetached(detached);
    return true;
}

std::optional<Value> Store::getValue(Hive hive, std::string_view key, std::string_view name) const
{
    const fs::path file = keyFolder(hive, key) / fileName(layout::kValuePrefix, name);
    const std::optional<std::string> bytes = readFile(file);
    if (!bytes) return std::nullopt;
    return decodeValue(*bytes, file).value;
}

void Store::setValue(Hive hive, std::string_view key, std::string_view name, const Value& value)
{
    if (value.type != ValueType::String && value.type != ValueType::ExpandString && value.type != ValueType::DWord)
        throw RegistryError("Unsupported type " + std::to_string(static_cast<std::uint32_t>(value.type)) +
                            " for registry value \"" + std::string(name) + "\"");
    const fs::path file = keyFolder(hive, key) / fileName(layout::kValuePrefix, name);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        createKey(hive, key);
        // Names ignore case, so a value keeps the name it was first written with; a corrupt
        // file is simply replaced.
        std::string storedName(name);
        std::string_view problem;
        if (const auto old = readFile(file))
            if (auto stored = parseValue(*old, problem)) storedName = std::move(stored->name);
        if (writeAtomically(file, encodeValue(storedName, value))) return;
    }
    fail("Cannot write registry value", file, ENOENT);
}

void Store::setString(Hive hive, std::string_view key, std::string_view name, std::string_view text)
{
    setValue(hive, key, name, Value{ValueType::String, std::string(text), 0});
}

void Store::setDWord(Hive hive, std::string_view key, std::string_view name, std::uint32_t number)
{
    setValue(hive, key, name, Value{ValueType::DWord, {}, number});
}

bool Store::deleteValue(Hive hive, std::string_view key, std::string_view name)
{
    const fs::path file = keyFolder(hive, key) / fileName(layout::kValuePrefix, name);
    if (::unlink(file.c_str()) == 0) return true;
    if (isMissing(errno)) return false;
    fail("Cannot delete registry value", file, errno);
}

std::vector<std::string> Store::valueNames(Hive hive, std::string_view key) const
{
    const fs::path folder = keyFolder(hive, key);
    std::vector<std::string> names;
    for (const std::string& file : listFolder(folder, layout::kValuePrefix))
        if (const auto bytes = readFile(folder / file)) names.push_back(decodeValue(*bytes, folder / file).name);
    return names;
}

std::vector<std::string> Store::subKeys(Hive hive, std::string_view key) const
{
    const fs::path folder = keyFolder(hive, key);
    std::vector<std::string> names;
    for (const std::string& sub : listFolder(folder, layout::kKeyPrefix)) {
        const auto displayName = readFile(folder / sub / layout::kDisplayNameFile);
        if (displayName && encodeName(layout::kKeyPrefix, *displayName) == sub)
            names.push_back(*displayName);
        else
            names.push_back(nameFromFileName(std::string_view(sub).substr(layout::kKeyPrefix.size())));
    }
    return names;
}

} // namespace qln::registry

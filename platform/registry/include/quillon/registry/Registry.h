#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qln::registry {

// The predefined root keys, with the handle numbers programs pass for them.
enum class Hive : std::uint32_t {
    ClassesRoot = 0x80000000,
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
    Users = 0x80000003,
    PerformanceData = 0x80000004,
    CurrentConfig = 0x80000005,
    DynData = 0x80000006,
};

// The hive for a handle number, or nothing when the number names no hive.
std::optional<Hive> hiveFromHandle(std::uint32_t handle);
// "HKEY_LOCAL_MACHINE" and so on.
std::string_view hiveName(Hive hive);

enum class ValueType : std::uint32_t { String = 1, ExpandString = 2, DWord = 4 };

struct Value {
    ValueType type = ValueType::String;
    std::string text;          // String and ExpandString
    std::uint32_t number = 0;  // DWord
};

// A store failed to read or write its folder tree (permissions, disk full, corrupt value).
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A registry kept as a folder tree: one folder per hive and key, one file per value,
// every write atomic, so that several processes may use one root at once. Key paths use
// "\" between names; key and value names compare without regard to case.
class Store {
public:
    explicit Store(std::filesystem::path root);

    // The root named by QUILLON_REGISTRY_ROOT, else $XDG_DATA_HOME/quillon/registry
    // (~/.local/share/quillon/registry when XDG_DATA_HOME is unset).
    static Store fromEnvironment();

    const std::filesystem::path& root() const { return m_root; }

    bool keyExists(Hive hive, std::string_view key) const;
    // Creates the key and any missing parents; an existing key is left as it is.
    void createKey(Hive hive, std::string_view key);
    // Removes the key with all its sub-keys and values; false when it did not exist.
    bool deleteKey(Hive hive, std::string_view key);

    // The value, or nothing when the key or the value does not exist.
    std::optional<Value> getValue(Hive hive, std::string_view key, std::string_view name) const;
    // Writes a value, creating the key when needed.
    void setValue(Hive hive, std::string_view key, std::string_view name, const Value& value);
    void setString(Hive hive, std::string_view key, std::string_view name, std::string_view text);
    void setDWord(Hive hive, std::string_view key, std::string_view name, std::uint32_t number);
    // False when the value did not exist.
    bool deleteValue(Hive hive, std::string_view key, std::string_view name);

    // Names as they were first written, in no promised order.
    std::vector<std::string> valueNames(Hive hive, std::string_view key) const;
    std::vector<std::string> subKeys(Hive hive, std::string_view key) const;

    // The folder that holds a key (for change notification).
    std::filesystem::path keyFolder(Hive hive, std::string_view key) const;

private:
    std::filesystem::path m_root;
};

// Calls onChange on a thread of its own whenever a value of the key or of any sub-key
// is written or removed, or a sub-key is created or deleted. stop() (or destruction)
// ends the thread; onChange is never called after stop() returns. onChange may call stop()
// (the thread then ends when onChange returns) but must not destroy its own Watcher. The
// deletion of the watched key itself is reported once; a key re-created later is not watched.
class Watcher {
public:
    Watcher(const Store& store, Hive hive, std::string_view key, std::function<void()> onChange);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    void stop();

private:
    struct Impl;
    // Shared with the watching thread, which may outlive the Watcher when its own callback
    // destroys it.
    std::shared_ptr<Impl> m_impl;
};

} // namespace qln::registry

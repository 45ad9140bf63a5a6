#include "Keys.h"

#include "Report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qln::ambutil {

namespace {

constexpr std::size_t kNoteLength = 255;

std::string hex(std::uint32_t number)
{
    char out[9];
    std::snprintf(out, sizeof out, "%X", number);
    return out;
}

// The bytes a value holds: texts end with a zero, numbers are 4 bytes in machine order.
std::string dataOf(const registry::Value& value)
{
    if (value.type == registry::ValueType::DWord) {
        std::string data(sizeof value.number, '\0');
        std::memcpy(data.data(), &value.number, sizeof value.number);
        return data;
    }
    return value.text + '\0';
}

} // namespace

std::optional<OpenKey> OpenRegistryKey(std::uint32_t hive, const std::string& key, std::int32_t access)
{
    constexpr const char* kProcedure = "OpenRegistryKey";
    const auto known = registry::hiveFromHandle(hive);
    if (!known) {
        report(gmrERR, kProcedure, kTextMessage, "Invalid Registry Hive: " + hex(hive));
        return std::nullopt;
    }
    const bool writing = (access & kWriteAccess) != 0;
    std::optional<OpenKey> opened;
    bool created = false;
    std::int32_t code = ENOENT;
    try {
        errno = 0;
        registry::Store store = registry::Store::fromEnvironment();
        const bool existed = store.keyExists(*known, key);
        if (writing) {
            store.createKey(*known, key);
            created = !existed;
        }
        if (writing || existed) opened = OpenKey{std::move(store), *known, key};
    } catch (const registry::RegistryError&) {
        code = failureCode();
    }
    const std::string note = writing ? "Attempted RegCreateKeyEx for the key: " + key + ".\nThe key was opened by " +
                                           (created ? "creating a new key" : "opening an existing key")
                                     : "Attempted RegOpenKeyEx for the key: " + key;
    report(gmrINFO, kProcedure, kTextMessage, note.substr(0, kNoteLength));
    if (!opened)
        report(gmrERR, kProcedure, kTextMessage,
               "Unable to open the registry for: Hive = " + std::to_string(static_cast<std::int32_t>(hive)) +
                   "; Key = " + key + "; Access = " + std::to_string(access),
               code);
    return opened;
}

bool QueryRegistryKey(const OpenKey& key, const std::string& field, void* buffer, std::int32_t& length)
{
    constexpr const char* kProcedure = "QueryRegistryKey";
    std::int32_t code = 0;
    std::string data;
    try {
        errno = 0;
        if (const auto value = key.store.getValue(key.hive, key.path, field))
            data = dataOf(*value);
        else
            code = ENOENT;
    } catch (const registry::RegistryError&) {
        code = failureCode();
    }
    const auto needed = static_cast<std::int32_t>(data.size());
    const bool tooSmall = code == 0 && buffer && length < needed;
    if (tooSmall) code = ERANGE;
    if (code != 0) {
        report(gmrERR, kProcedure, kQueryFailed, field, code);
        if (tooSmall)
            report(gmrERR, kProcedure, kTextMessage,
                   "Query Buffer for " + field + " was too small. Need a buffer size of " + std::to_string(needed));
        return false;
    }
    if (buffer) std::memcpy(buffer, data.data(), data.size());
    length = needed;
    return true;
}

bool WriteRegistryKey(OpenKey& key, const std::string& field, const registry::Value& value)
{
    try {
        errno = 0;
        key.store.setValue(key.hive, key.path, field, value);
        return true;
    } catch (const registry::RegistryError&) {
        report(gmrERR, "WriteRegistryKey", kWriteFailed, field, failureCode());
        return false;
    }
}

} // namespace qln::ambutil

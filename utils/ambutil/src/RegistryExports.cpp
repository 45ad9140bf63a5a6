// The registry exports of libambutil.so: each opens its key, does one step and reports.

#include "Keys.h"
#include "Report.h"
#include "quillon/utils/AmbUtil.h"

#include <cerrno>
#include <cstring>

using namespace qln::ambutil;

namespace {

// PutRegistryString's limit, the terminating zero included.
constexpr std::size_t kMaxStringBytes = 2048;

// No exception may cross the C boundary: an out-of-memory failure becomes a plain 0.
template <class Body>
std::int32_t guarded(Body&& body)
{
    try {
        return body() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

} // namespace

extern "C" {

std::int32_t GetRegistrySize(std::uint32_t hive, const char* key, const char* field, std::int32_t* size)
{
    return guarded([&] {
        std::int32_t length = 0;
        const auto opened = OpenRegistryKey(hive, text(key), kQueryAccess);
        const bool read = opened && QueryRegistryKey(*opened, text(field), nullptr, length);
        if (size) *size = read ? length : 0;
        return read;
    });
}

std::int32_t GetRegistryString(std::uint32_t hive, const char* key, const char* field, char* buffer,
                               std::int32_t bufferSize)
{
    return guarded([&] {
        std::int32_t length = bufferSize < 0 ? 0 : bufferSize;
        const auto opened = OpenRegistryKey(hive, text(key), kQueryAccess);
        return opened && QueryRegistryKey(*opened, text(field), buffer, length);
    });
}

std::int32_t GetRegistryInt(std::uint32_t hive, const char* key, const char* field, std::int32_t* result)
{
    return guarded([&] {
        std::int32_t length = sizeof *result;
        const auto opened = OpenRegistryKey(hive, text(key), kQueryAccess);
        return opened && QueryRegistryKey(*opened, text(field), result, length);
    });
}

std::int32_t PutRegistryString(std::uint32_t hive, const char* key, const char* field, const char* value)
{
    return guarded([&] {
        const std::string data = text(value);
        if (data.size() + 1 > kMaxStringBytes) {
            report(gmrERR, "PutRegistryString", kTextMessage,
                   "The string is too large to store within the registry.\nAttempt to store the string in a file, "
                   "and save the filename instead");
            return false;
        }
        auto opened = OpenRegistryKey(hive, text(key), kWriteAccess);
        return opened && WriteRegistryKey(*opened, text(field), {qln::registry::ValueType::String, data, 0});
    });
}

std::int32_t PutRegistryInt(std::uint32_t hive, const char* key, const char* field, std::int32_t value)
{
    return guarded([&] {
        auto opened = OpenRegistryKey(hive, text(key), kWriteAccess);
        return opened && WriteRegistryKey(*opened, text(field),
                                          {qln::registry::ValueType::DWord, {}, static_cast<std::uint32_t>(value)});
    });
}

std::int32_t DeleteRegistryKey(std::uint32_t hive, const char* key)
{
    return guarded([&] {
        // The hive is opened to delete the key below it, so its check and note come first.
        auto opened = OpenRegistryKey(hive, "", kQueryAccess);
        if (!opened) return false;
        std::int32_t code = ENOENT;
        try {
            errno = 0;
            if (opened->store.deleteKey(opened->hive, text(key))) return true;
        } catch (const qln::registry::RegistryError&) {
            code = failureCode();
        }
        report(gmrERR, "DeleteRegistryKey", kTextMessage,
               "Unable to delete the key.\nCheck the permissions to delete a registry key", code);
        return false;
    });
}

} // extern "C"

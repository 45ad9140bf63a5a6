#pragma once

// libambutil.so: registry access, registry change notification and UUIDs as plain C exports,
// every registry step recorded in the log through the Reporter component. Texts are narrow
// and zero-terminated (a null pointer reads as ""); key paths are relative to the hive with
// "\" between names; an empty value name means the key's default value. Results are 1 for
// success and 0 for failure.

#include <cstdint>

namespace qln::utils {

// The hives programs pass. Every predefined hive from 0x80000000 to 0x80000006 is accepted;
// any other number (an opened key's handle too) is refused.
enum REGToolRootTypes : std::uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000,
    HKEY_CURRENT_USER = 0x80000001,
    HKEY_LOCAL_MACHINE = 0x80000002,
    HKEY_USERS = 0x80000003,
    HKEY_PERFORMANCE_DATA = 0x80000004,
};

// The notification filters NotifyChangeKey accepts; every watch reports value changes of the
// key and its sub-keys whatever the filter says.
enum REGToolNotifyTypes : std::int32_t {
    REG_NOTIFY_CHANGE_NAME = 1,
    REG_NOTIFY_CHANGE_ATTRIBUTES = 2,
    REG_NOTIFY_CHANGE_LAST_SET = 4,
    REG_NOTIFY_CHANGE_SECURITY = 8,
};

} // namespace qln::utils

extern "C" {

// Called on the watch's own thread, never on the thread that started the watch.
typedef void (*RegChangeCallback)();

// Writes a new UUID as 36 lower-case characters (8-4-4-4-12) and a terminating zero;
// 0 when 36 is not below bufferSize.
std::int32_t GenerateUUID(char* buffer, std::int32_t bufferSize);

// The size in bytes of a value's data: texts with their terminating zero, numbers 4. Sets
// *size to 0 when the value cannot be read.
std::int32_t GetRegistrySize(std::uint32_t hive, const char* key, const char* field, std::int32_t* size);
// Copies the value's data (a text with its zero) into the buffer; 0, with the size needed
// in the log, when it does not fit in bufferSize bytes.
std::int32_t GetRegistryString(std::uint32_t hive, const char* key, const char* field, char* buffer,
                               std::int32_t bufferSize);
// Reads the first 4 bytes of the value's data into *result.
std::int32_t GetRegistryInt(std::uint32_t hive, const char* key, const char* field, std::int32_t* result);

// Create the key when needed and write a text or a 32-bit number value. A text longer than
// 2047 characters is refused and nothing is written.
std::int32_t PutRegistryString(std::uint32_t hive, const char* key, const char* field, const char* text);
std::int32_t PutRegistryInt(std::uint32_t hive, const char* key, const char* field, std::int32_t value);

// Deletes the key with its values and sub-keys; a hive itself cannot be deleted.
std::int32_t DeleteRegistryKey(std::uint32_t hive, const char* key);

// Starts a thread that calls callback after each change of a value in the existing key or
// any of its sub-keys, and arms the watch flag of the process for every watch. notifyFilter
// is accepted and not used.
std::int32_t NotifyChangeKey(std::uint32_t hive, const char* key, std::int32_t notifyFilter,
                             RegChangeCallback callback);
// Clears the watch flag and ends every watch at once, waiting for its thread: once it has
// returned no callback runs. Called from a callback, it waits for all but that one, which
// ends as the callback returns.
void StopRegChangeNotifications();

} // extern "C"

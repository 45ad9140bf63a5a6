#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace qln::components {

// Results of a library's DllRegisterServer and DllUnregisterServer.
inline constexpr std::int32_t kSOk = 0;
inline constexpr std::int32_t kEUnexpected = static_cast<std::int32_t>(0x8000FFFF);

// The file of the loaded shared library that holds address (any function or variable of
// it; take one with internal linkage, which another library cannot stand in for). Throws
// std::runtime_error when the address belongs to no loaded file.
std::filesystem::path libraryPath(const void* address);

// Enters HKEY_CLASSES_ROOT\<progId> with the values "Library" (the shared library's path)
// and "Factory": the name of an extern "C" function without arguments that returns a new
// object as a pointer to its interface class, converted to void*.
void registerProgId(std::string_view progId, const std::filesystem::path& library, std::string_view factory);
// Removes the registration; false when there was none.
bool unregisterProgId(std::string_view progId);

// The bodies of a library's DllRegisterServer and DllUnregisterServer: (un)registers the
// ProgID of the library holding anchor, answering kSOk or kEUnexpected, never throwing.
std::int32_t registerServer(std::string_view progId, const void* anchor, std::string_view factory) noexcept;
std::int32_t unregisterServer(std::string_view progId) noexcept;

// Creates an object of a registered class. Throws qln::EngineError with source
// "CreateObject": 429 when the ProgID is not registered, 48 when its library does not
// load, 453 when the factory is missing or returns nothing. The library stays loaded for
// the rest of the process.
void* createObject(std::string_view progId);

// createObject for a class whose factory returns a pointer to Interface.
template <class Interface>
std::unique_ptr<Interface> create(std::string_view progId)
{
    return std::unique_ptr<Interface>(static_cast<Interface*>(createObject(progId)));
}

} // namespace qln::components

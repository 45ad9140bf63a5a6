#include "quillon/components/Components.h"

#include "quillon/Error.h"
#include "quillon/registry/Registry.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace qln::components {

namespace {

constexpr const char* kLibrary = "Library";
constexpr const char* kFactory = "Factory";

using registry::Hive;

[[noreturn]] void fail(std::int64_t number, const std::string& description)
{
    throw EngineError(number, "CreateObject", description);
}

} // namespace

std::filesystem::path libraryPath(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        throw std::runtime_error("the address lies in no loaded library");
    return std::filesystem::absolute(info.dli_fname).lexically_normal();
}

void registerProgId(std::string_view progId, const std::filesystem::path& library, std::string_view factory)
{
    auto store = registry::Store::fromEnvironment();
    store.setString(Hive::ClassesRoot, progId, kLibrary, library.string());
    store.setString(Hive::ClassesRoot, progId, kFactory, factory);
}

bool unregisterProgId(std::string_view progId)
{
    return registry::Store::fromEnvironment().deleteKey(Hive::ClassesRoot, progId);
}

std::int32_t registerServer(std::string_view progId, const void* anchor, std::string_view factory) noexcept
{
    try {
        registerProgId(progId, libraryPath(anchor), factory);
        return kSOk;
    } catch (...) {
        return kEUnexpected;
    }
}

std::int32_t unregisterServer(std::string_view progId) noexcept
{
    try {
        unregisterProgId(progId);
        return kSOk;
    } catch (...) {
        return kEUnexpected;
    }
}

void* createObject(std::string_view progId)
{
    const auto store = registry::Store::fromEnvironment();
    const auto library = store.getValue(Hive::ClassesRoot, progId, kLibrary);
    const auto factory = store.getValue(Hive::ClassesRoot, progId, kFactory);
    const std::string name(progId);
    if (!library || !factory || library->text.empty() || factory->text.empty())
        fail(429, "The component " + name + " is not registered");

    // Never closed: objects of the library may live until the process ends.
    void* handle = dlopen(library->text.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        fail(48, "Error in loading DLL " + library->text + " for " + name + ": " + (reason ? reason : ""));
    }
    using Factory = void* (*)();
    const auto create = reinterpret_cast<Factory>(dlsym(handle, factory->text.c_str()));
    if (!create) fail(453, "Specified function " + factory->text + " not within " + library->text);
    void* object = create();
    if (!object) fail(453, factory->text + " in " + library->text + " created no object");
    return object;
}

} // namespace qln::components

#include "Catalog.h"

#include "quillon/reporter/Reporter.h"
#include "quillon/registry/Registry.h"

#include <dlfcn.h>

#include <memory>

namespace qln::reporter {

namespace {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

// The table of the library registered under valueName. The table is copied out, so the
// library is unloaded again at once.
std::optional<MessageTable> loadTable(const registry::Store& store, const std::string& key,
                                      const std::string& valueName, std::vector<std::string>& problems)
{
    try {
        const auto value = store.getValue(registry::Hive::LocalMachine, key, valueName);
        if (!value || value->type == registry::ValueType::DWord || value->text.empty()) {
            problems.push_back(valueName + " is not registered under HKEY_LOCAL_MACHINE\\" + key);
            return std::nullopt;
        }
        const std::string& path = value->text;
        const std::unique_ptr<void, LibraryCloser> library(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!library) {
            const char* reason = dlerror();
            problems.push_back("cannot load " + path + ": " + (reason ? reason : "unknown reason"));
            return std::nullopt;
        }
        const auto* resource = static_cast<const MessageTableResource*>(dlsym(library.get(), kMessageTableSymbol));
        if (!resource || !resource->data) {
            problems.push_back(path + " holds no message table");
            return std::nullopt;
        }
        return MessageTable::parse({resource->data, resource->size});
    } catch (const std::exception& error) {
        problems.push_back(valueName + ": " + error.what());
        return std::nullopt;
    }
}

} // namespace

Catalogs loadCatalogs(std::string_view eventSource)
{
    Catalogs catalogs;
    try {
        const auto store = registry::Store::fromEnvironment();
        const std::string key = std::string(kEventLogKey) + std::string(eventSource);
        catalogs.messages = loadTable(store, key, kEventMessageFile, catalogs.problems);
        catalogs.categories = loadTable(store, key, kCategoryMessageFile, catalogs.problems);
    } catch (const std::exception& error) {
        catalogs.problems.push_back(std::string("the registry cannot be read: ") + error.what());
    }
    return catalogs;
}

} // namespace qln::reporter

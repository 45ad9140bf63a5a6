#include "Registration.h"

#include "quillon/components/Components.h"
#include "quillon/registry/Registry.h"
#include "quillon/reporter/Reporter.h"

#include <optional>

namespace qln::reporting {

namespace {

using registry::Hive;

std::int32_t failure(const char* title, const char* text)
{
    ReporterMessageBox(title, text, 0);
    return components::kEUnexpected;
}

} // namespace

std::string eventSourceKey()
{
    return std::string(reporter::kEventLogKey) + "AMBApps" + std::to_string(2);
}

std::int32_t registerCatalog(const CatalogRegistration& registration, const void* anchor)
{
    const std::string key = eventSourceKey();
    std::optional<registry::Store> store;
    try {
        store.emplace(registry::Store::fromEnvironment());
        store->createKey(Hive::LocalMachine, key);
    } catch (const std::exception&) {
        return failure(registration.title, "Unable to open the registry key to register the MRU.");
    }
    // The folder of the library itself, wherever the registering program runs from.
    std::string library;
    try {
        library = components::libraryPath(anchor).string();
    } catch (const std::exception&) {
        return failure(registration.title, registration.locationFailure);
    }
    try {
        store->setValue(Hive::LocalMachine, key, registration.fileValue,
                        {registry::ValueType::ExpandString, library, 0});
    } catch (const std::exception&) {
        return failure(registration.title, registration.fileFailure);
    }
    try {
        store->setDWord(Hive::LocalMachine, key, registration.numberValue, registration.number);
    } catch (const std::exception&) {
        return failure(registration.title, registration.numberFailure);
    }
    return components::kSOk;
}

std::int32_t unregisterCatalogs(const char* title)
{
    try {
        auto store = registry::Store::fromEnvironment();
        const std::string key = eventSourceKey();
        if (!store.keyExists(Hive::LocalMachine, key)) return components::kSOk;
        store.deleteKey(Hive::LocalMachine, key);
        return components::kSOk;
    } catch (const std::exception&) {
        return failure(title, "Unable to delete the MRU registry entries.");
    }
}

} // namespace qln::reporting

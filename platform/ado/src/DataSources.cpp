#include "quillon/ado/DataSources.h"

#include "quillon/SettingsNames.h"
#include "quillon/registry/Registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace qln::ado {
namespace {


struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    }
};

struct ProcessSources {
    std::mutex mutex;
    std::map<std::string, std::filesystem::path, CaseInsensitiveLess> byName;
};

ProcessSources& processSources()
{
    static ProcessSources sources;
    return sources;
}

} // namespace

void defineDataSource(std::string name, std::filesystem::path database)
{
    auto& sources = processSources();
    std::lock_guard lock(sources.mutex);
    sources.byName[std::move(name)] = std::move(database);
}

std::optional<std::filesystem::path> findDataSource(std::string_view name)
{
    {
        auto& sources = processSources();
        std::lock_guard lock(sources.mutex);
        const auto it = sources.byName.find(std::string(name));
        if (it != sources.byName.end())
            return it->second;
    }
    if (name.empty() || name.find('\\') != std::string_view::npos)
        return std::nullopt;
    const auto store = registry::Store::fromEnvironment();
    const std::string key = std::string(qln::settings::kDataSourcesKey) + "\\" + std::string(name);
    const auto value = store.getValue(registry::Hive::LocalMachine, key, qln::settings::kDataSourceDatabase);
    if (!value || value->type == registry::ValueType::DWord || value->text.empty())
        return std::nullopt;
    return std::filesystem::path(value->text);
}

std::map<std::string, std::string> dataSourceValues(std::string_view name)
{
    std::map<std::string, std::string> values;
    if (name.empty() || name.find('\\') != std::string_view::npos)
        return values;
    const auto store = registry::Store::fromEnvironment();
    const std::string key = std::string(qln::settings::kDataSourcesKey) + "\\" + std::string(name);
    for (const std::string& valueName : store.valueNames(registry::Hive::LocalMachine, key)) {
        const auto value = store.getValue(registry::Hive::LocalMachine, key, valueName);
        if (!value || value->type == registry::ValueType::DWord)
            continue;
        std::string upperName = valueName;
        for (char& c : upperName)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        values[upperName] = value->text;
    }
    return values;
}

std::vector<std::string> dataSourceNames()
{
    std::vector<std::string> names;
    {
        auto& sources = processSources();
        std::lock_guard lock(sources.mutex);
        for (const auto& entry : sources.byName)
            names.push_back(entry.first);
    }
    const auto store = registry::Store::fromEnvironment();
    for (auto& name : store.valueNames(registry::Hive::LocalMachine, qln::settings::kDataSourceListKey)) {
        const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return !CaseInsensitiveLess{}(n, name) && !CaseInsensitiveLess{}(name, n);
        });
        if (!known)
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace qln::ado

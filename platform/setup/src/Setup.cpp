#include "quillon/setup/Setup.h"

#include "quillon/AtomicFile.h"
#include "quillon/InputFile.h"
#include "quillon/SettingsNames.h"
#include "quillon/registry/Registry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <set>

namespace qln::setup {

namespace {

namespace fs = std::filesystem;
using registry::Hive;
using settings::kSettingsKey;
using settings::kSysInfoKey;
using settings::Setting;

// The key of one data source.
std::string dataSourceKey(const std::string& name)
{
    return std::string(settings::kDataSourcesKey) + "\\" + name;
}

constexpr const char* kDriver = "Quillon SQLite";
constexpr const char* kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\AMBApps2";

// Every library with a self-registration, and the class it enters (none for the catalogs,
// which enter the event source).
struct Library {
    const char* file;
    const char* progId;
};
constexpr Library kLibraries[] = {
    {"libQLN2000.so", "QLN2000.clsQuillon"},
    {"libmsgreporter.so", "AMB_Msg_Reporter.clsReporter"},
    {"libgenutil.so", "GenericKelvaroUtilities.clsGenUtils"},
    {"libambmessages.so", nullptr},
    {"libambcategories.so", nullptr},
};

// System information programs that StartSysInfo may run, best first.
constexpr const char* kSysInfoPrograms[] = {"hardinfo", "gnome-system-monitor", "plasma-systemmonitor"};

// One file the setup owns: copied from the bundle or generated.
struct FileItem {
    fs::path to;
    fs::path from;         // empty for generated files
    std::string contents;  // generated files
    bool keepExisting = false;  // state the viewer manages (the working results database)
};

std::string readFile(const fs::path& file)
{
    if (const auto why = irregularInput(file)) throw SetupError("Cannot read " + *why);
    std::ifstream in(file, std::ios::binary);
    if (!in) throw SetupError("Cannot read " + file.string());
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string wantedContents(const FileItem& item)
{
    return item.from.empty() ? item.contents : readFile(item.from);
}

bool sameContents(const fs::path& file, const std::string& contents)
{
    std::error_code error;
    if (!fs::is_regular_file(file, error) || fs::file_size(file, error) != contents.size()) return false;
    return readFile(file) == contents;
}

// Replaced whole and synced: a reader (or a crash) never sees a part.
void writeFileAtomically(const fs::path& file, const std::string& contents)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) throw SetupError("Cannot create the folder " + file.parent_path().string() + ": " + error.message());
    try {
        AtomicFile out(file, AtomicFile::Links::Replace);
        out.write(contents);
        out.commit();
    } catch (const OutputError& failure) {
        throw SetupError(failure.what());
    }
}

// Paths go into the manifest (one a line) and the desktop entry (one key a line).
void requirePrintable(const fs::path& path)
{
    const std::string text = path.string();
    if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        throw SetupError("The path \"" + text + "\" holds a control character; choose another folder");
}

// Only files below the prefix, and the desktop entry and icon, are ever removed, whatever
// a manifest says.
bool owned(const fs::path& file, const Target& target)
{
    return file.string().rfind(target.prefix.string() + "/", 0) == 0 || file == target.desktopFile() ||
           file == target.iconFile();
}

// Desktop entry values: quoted for the Exec key's own rules.
std::string quoteExec(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // The desktop entry format unescapes backslashes once more when reading the value.
    std::string escaped;
    for (const char c : quoted) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

std::string desktopEntry(const Sources& sources, const Target& target)
{
    requirePrintable(sources.programs);
    requirePrintable(target.iconFile());
    // Users start from the map, which starts the viewer linked to the shapefile it shows.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillon Soils Map\n"
           "GenericName=Soil Survey Interpretation Map\n"
           "Comment=Rate the map units of a soil survey and show the ratings on the map\n"
           "Exec=" + quoteExec((sources.programs / "quillon-map").string()) + " %f\n"
           "Icon=" + target.iconFile().string() + "\n"
           "Terminal=false\n"
           "Categories=Science;Geography;\n";
}

void addFolder(std::vector<FileItem>& items, const fs::path& from, const fs::path& to)
{
    std::error_code error;
    if (!fs::is_directory(from, error)) return;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(from, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) items.push_back({to / file.lexically_relative(from), file, {}, false});
}

std::vector<FileItem> plannedFiles(const Sources& sources, const Target& target)
{
    std::vector<FileItem> items;
    items.push_back({target.rulesDatabase(), sources.data / "quillon-rules.sqlite", {}, false});
    items.push_back({target.pristineResults(), sources.data / "quillon-results.sqlite", {}, false});
    items.push_back({target.workingResults(), sources.data / "quillon-results.sqlite", {}, true});
    addFolder(items, sources.data / "legends", target.legendFolder());
    addFolder(items, sources.data / "help", target.helpFolder());
    addFolder(items, sources.data / "templates", target.templateFolder());
    // The viewer lists the soils databases of its folder by the ".mdb" ending; the file is
    // an SQLite database, which the data layer recognises by its header.
    items.push_back({target.soilsFolder() / "sample.mdb", sources.data / "sample" / "sample.sqlite", {}, false});
    // The .prj and .cpg go with the shapes: without them a GIS guesses the coordinate system
    // and the code page.
    for (const char* part : {"sample_soils.shp", "sample_soils.shx", "sample_soils.dbf", "sample_soils.prj",
                             "sample_soils.cpg"})
        items.push_back({target.soilsFolder() / part, sources.data / "sample" / part, {}, false});
    if (!sources.systemMenu) {
        items.push_back({target.iconFile(), sources.data / "quillon.svg", {}, false});
        items.push_back({target.desktopFile(), {}, desktopEntry(sources, target), false});
    }
    return items;
}

std::vector<fs::path> readManifest(const Target& target)
{
    std::vector<fs::path> files;
    std::ifstream in(target.manifest());
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && fs::path(line).is_absolute()) files.emplace_back(line);
    return files;
}

// Removes the file, then every folder above it that is left empty, up to the prefix.
void removeWithEmptyFolders(const fs::path& file, const fs::path& prefix)
{
    std::error_code error;
    fs::remove(file, error);
    for (fs::path folder = file.parent_path(); folder != prefix && folder.has_relative_path();
         folder = folder.parent_path()) {
        if (folder.string().rfind(prefix.string() + "/", 0) != 0) break;
        if (!fs::is_empty(folder, error) || error) break;
        fs::remove(folder, error);
    }
}

std::optional<fs::path> findProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const fs::path candidate = fs::path(std::string(rest.substr(0, colon))) / name;
        if (candidate.is_absolute() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

std::optional<fs::path> systemInformationProgram()
{
    for (const char* name : kSysInfoPrograms)
        if (auto found = findProgram(name)) return found;
    return std::nullopt;
}

std::int32_t callRegistration(const fs::path& library, const char* entry)
{
    // Never closed: a library may leave objects behind that outlive the call.
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        throw SetupError("Cannot load " + library.string() + ": " + (reason ? reason : ""));
    }
    const auto function = reinterpret_cast<std::int32_t (*)()>(::dlsym(handle, entry));
    if (!function) throw SetupError(library.string() + " has no " + entry);
    return function();
}

std::string hex(std::int32_t number)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 28; shift >= 0; shift -= 4) text += digits[(static_cast<std::uint32_t>(number) >> shift) & 0xF];
    return "0x" + text;
}

// Deletes the key when it holds nothing, then each parent left empty (never the hive).
void pruneEmptyKeys(registry::Store& store, Hive hive, std::string key)
{
    while (!key.empty() && store.keyExists(hive, key) && store.valueNames(hive, key).empty() &&
           store.subKeys(hive, key).empty()) {
        store.deleteKey(hive, key);
        const auto slash = key.rfind('\\');
        key = slash == std::string::npos ? "" : key.substr(0, slash);
    }
}

std::string valueText(const registry::Store& store, Hive hive, const std::string& key, const std::string& name)
{
    const auto value = store.getValue(hive, key, name);
    return value && value->type != registry::ValueType::DWord ? value->text : "";
}

} // namespace

void install(const Sources& sources, const Target& target, std::ostream& out)
{
    out << "Installing the data under " << target.prefix.string() << "\n";
    const auto items = plannedFiles(sources, target);
    std::set<fs::path> wanted;
    for (const auto& item : items) requirePrintable(item.to);
    for (const auto& item : items) {
        wanted.insert(item.to);
        std::error_code error;
        if (item.keepExisting && fs::exists(item.to, error)) continue;
        const std::string contents = wantedContents(item);
        if (sameContents(item.to, contents)) continue;
        out << "  " << item.to.string() << "\n";
        writeFileAtomically(item.to, contents);
    }
    // Files an earlier version installed that this one no longer ships.
    for (const auto& old : readManifest(target))
        if (!wanted.count(old) && owned(old, target)) removeWithEmptyFolders(old, target.prefix);
    std::string manifest;
    for (const auto& item : items) manifest += item.to.string() + "\n";
    writeFileAtomically(target.manifest(), manifest);

    auto store = registry::Store::fromEnvironment();
    out << "Writing the settings under HKEY_LOCAL_MACHINE\\" << kSettingsKey << "\n";
    for (const auto& [name, value] : installationSettings(target))
        store.setString(Hive::LocalMachine, kSettingsKey, name, value);
    for (const auto& [name, value] : choiceSettings(target))
        if (!store.getValue(Hive::LocalMachine, kSettingsKey, name))
            store.setString(Hive::LocalMachine, kSettingsKey, name, value);

    for (const auto& [name, database] : dataSources(target)) {
        out << "Defining the data source " << name << "\n";
        store.setString(Hive::LocalMachine, dataSourceKey(name), settings::kDataSourceDriver, kDriver);
        store.setString(Hive::LocalMachine, dataSourceKey(name), settings::kDataSourceDatabase, database);
        store.setString(Hive::LocalMachine, settings::kDataSourceListKey, name, kDriver);
    }

    if (const auto program = systemInformationProgram()) {
        out << "Using " << program->string() << " as the system information program\n";
        store.setString(Hive::LocalMachine, kSysInfoKey, settings::kSysInfoPath, program->string());
    }

    for (const auto& library : kLibraries) {
        const auto path = sources.libraries / library.file;
        out << "Registering " << path.string() << "\n";
        const auto result = callRegistration(path, "DllRegisterServer");
        if (result != 0) throw SetupError("The registration of " + path.string() + " failed with " + hex(result));
    }
}

std::vector<std::string> uninstall(const Sources* sources, const Target& target, std::ostream& out)
{
    std::vector<std::string> problems;
    auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (const std::exception& error) {
            problems.emplace_back(error.what());
            out << "  " << error.what() << "\n";
        }
    };
    auto store = registry::Store::fromEnvironment();

    for (const auto& library : kLibraries) {
        attempt([&] {
            const fs::path path = sources ? sources->libraries / library.file : fs::path();
            std::error_code error;
            if (sources && fs::exists(path, error)) {
                out << "Unregistering " << path.string() << "\n";
                const auto result = callRegistration(path, "DllUnregisterServer");
                if (result != 0) throw SetupError("Unregistering " + path.string() + " failed with " + hex(result));
            } else if (library.progId) {
                // The library has gone: its entry can still be taken out.
                store.deleteKey(Hive::ClassesRoot, library.progId);
            } else {
                store.deleteKey(Hive::LocalMachine, kEventSourceKey);
            }
        });
    }
    attempt([&] {
        const std::string eventSource = kEventSourceKey;
        pruneEmptyKeys(store, Hive::LocalMachine, eventSource.substr(0, eventSource.rfind('\\')));
    });

    attempt([&] {
        for (const auto& [name, database] : dataSources(target)) {
            out << "Removing the data source " << name << "\n";
            store.deleteKey(Hive::LocalMachine, dataSourceKey(name));
            store.deleteValue(Hive::LocalMachine, settings::kDataSourceListKey, name);
        }
        pruneEmptyKeys(store, Hive::LocalMachine, settings::kDataSourceListKey);
    });

    attempt([&] {
        out << "Removing the settings\n";
        for (const auto& [name, value] : installationSettings(target))
            store.deleteValue(Hive::LocalMachine, kSettingsKey, name);
        for (const auto& [name, value] : choiceSettings(target))
            store.deleteValue(Hive::LocalMachine, kSettingsKey, name);
        // The GIS side's own value keeps the key while it is there.
        pruneEmptyKeys(store, Hive::LocalMachine, kSettingsKey);
        if (const auto program = systemInformationProgram();
            program && valueText(store, Hive::LocalMachine, kSysInfoKey, settings::kSysInfoPath) == program->string()) {
            store.deleteValue(Hive::LocalMachine, kSysInfoKey, settings::kSysInfoPath);
            pruneEmptyKeys(store, Hive::LocalMachine, kSysInfoKey);
        }
    });

    attempt([&] {
        out << "Removing the installed files under " << target.prefix.string() << "\n";
        auto files = readManifest(target);
        if (sources)
            for (const auto& item : plannedFiles(*sources, target)) files.push_back(item.to);
        for (const auto& file : files)
            if (owned(file, target)) removeWithEmptyFolders(file, target.prefix);
        // The folders of the desktop entry and icon, when nothing else is in them.
        for (const auto& file : {target.desktopFile(), target.iconFile()})
            for (fs::path folder = file.parent_path(); folder != target.desktopHome && folder.has_relative_path();
                 folder = folder.parent_path()) {
                std::error_code error;
                if (!fs::is_empty(folder, error) || error || !fs::remove(folder, error)) break;
            }
        std::error_code error;
        fs::remove(target.manifest(), error);
        if (fs::is_directory(target.prefix, error) && fs::is_empty(target.prefix, error)) fs::remove(target.prefix, error);
    });
    return problems;
}

std::vector<std::string> check(const Sources& sources, const Target& target)
{
    std::vector<std::string> missing;
    for (const auto& item : plannedFiles(sources, target)) {
        std::error_code error;
        if (!fs::is_regular_file(item.to, error))
            missing.push_back("file " + item.to.string() + " is missing");
        else if (!item.keepExisting && !sameContents(item.to, wantedContents(item)))
            missing.push_back("file " + item.to.string() + " is out of date");
    }
    std::error_code error;
    if (!fs::exists(sources.programs / "quillon", error))
        missing.push_back("program " + (sources.programs / "quillon").string() + " is missing (not built)");

    const auto store = registry::Store::fromEnvironment();
    for (const auto& [name, value] : installationSettings(target)) {
        const auto current = store.getValue(Hive::LocalMachine, kSettingsKey, name);
        if (!current)
            missing.push_back("setting " + name + " is missing");
        else if (current->text != value)
            missing.push_back("setting " + name + " is \"" + current->text + "\", not \"" + value + "\"");
    }
    for (const auto& [name, value] : choiceSettings(target))
        if (!store.getValue(Hive::LocalMachine, kSettingsKey, name)) missing.push_back("setting " + name + " is missing");

    for (const auto& [name, database] : dataSources(target)) {
        const auto listed = store.getValue(Hive::LocalMachine, settings::kDataSourceListKey, name);
        const auto defined = valueText(store, Hive::LocalMachine, dataSourceKey(name), settings::kDataSourceDatabase);
        if (!listed || defined.empty())
            missing.push_back("data source " + name + " is not defined");
        else if (defined != database)
            missing.push_back("data source " + name + " names " + defined + ", not " + database);
    }

    for (const auto& library : kLibraries) {
        if (library.progId) {
            const auto path = valueText(store, Hive::ClassesRoot, library.progId, "Library");
            if (path.empty())
                missing.push_back("component " + std::string(library.progId) + " is not registered");
            else if (!fs::exists(path, error))
                missing.push_back("component " + std::string(library.progId) + " names the missing library " + path);
        }
    }
    for (const char* value : {"EventMessageFile", "CategoryMessageFile"}) {
        const auto path = valueText(store, Hive::LocalMachine, kEventSourceKey, value);
        if (path.empty() || !fs::exists(path, error))
            missing.push_back(std::string("event source AMBApps2 has no ") + value);
    }
    if (const auto program = systemInformationProgram();
        program && valueText(store, Hive::LocalMachine, kSysInfoKey, settings::kSysInfoPath).empty())
        missing.push_back("system information program " + program->string() + " is not entered");
    return missing;
}

std::optional<std::filesystem::path> installedPrefix()
{
    const auto store = registry::Store::fromEnvironment();
    const auto drive = valueText(store, Hive::LocalMachine, kSettingsKey, settings::nameOf(Setting::InstalledDrive));
    const auto path = valueText(store, Hive::LocalMachine, kSettingsKey, settings::nameOf(Setting::SoilsPath));
    if (drive.empty()) return std::nullopt;
    fs::path prefix = fs::path(drive + path).lexically_normal();
    if (prefix.has_filename() == false) prefix = prefix.parent_path();
    if (!prefix.is_absolute()) return std::nullopt;
    return prefix;
}

bool isSetUp()
{
    const auto store = registry::Store::fromEnvironment();
    const auto engine = valueText(store, Hive::ClassesRoot, kLibraries[0].progId, "Library");
    std::error_code error;
    return installedPrefix() && !engine.empty() && fs::exists(engine, error);
}

fs::path setUpOnFirstStart(const fs::path& executable)
{
    if (!isSetUp()) {
        const Target target{defaultPrefix(), userDataHome()};
        std::ostringstream steps;  // the program's user sees the result, not each step
        install(locateSources(executable), target, steps);
    }
    return installedPrefix().value();
}

} // namespace qln::setup

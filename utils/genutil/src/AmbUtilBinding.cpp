#include "AmbUtilBinding.h"

#include "quillon/Error.h"
#include "quillon/components/Components.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace qln::genutil {

namespace {

constexpr const char* kLibrary = "libambutil.so";
const int kAnchor = 0;

// A failed load is tried again at the next call.
void* library()
{
    static std::mutex mutex;
    static void* handle = nullptr;
    const std::lock_guard lock(mutex);
    if (!handle) {
        const auto path = components::libraryPath(&kAnchor).parent_path() / kLibrary;
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = dlerror();
            throw EngineError(53, kLibrary, std::string("File not found: ") + (reason ? reason : path.c_str()));
        }
    }
    return handle;
}

} // namespace

void* ambutilExport(const char* name)
{
    void* entry = dlsym(library(), name);
    if (!entry) throw EngineError(453, kLibrary, std::string("Specified function ") + name + " not within the DLL");
    return entry;
}

} // namespace qln::genutil

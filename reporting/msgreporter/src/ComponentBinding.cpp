#include "ComponentBinding.h"

#include "quillon/Error.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace qln::reporting {

namespace {

constexpr const char* kComponent = "libReporter.so";

// Found beside this library first (its run path is $ORIGIN), then on the usual paths.
void* component()
{
    static std::mutex mutex;
    static void* handle = nullptr;
    const std::lock_guard lock(mutex);
    if (!handle) {
        handle = dlopen(kComponent, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = dlerror();
            throw EngineError(53, kComponent, std::string("File not found: ") + (reason ? reason : kComponent));
        }
    }
    return handle;
}

} // namespace

EntryResolver componentResolver()
{
    return [](const char* name) {
        void* entry = dlsym(component(), name);
        if (!entry)
            throw EngineError(453, kComponent, std::string("Specified function ") + name + " not within the DLL");
        return entry;
    };
}

} // namespace qln::reporting

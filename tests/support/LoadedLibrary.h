#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qln::test {

// A shared library opened by path for the length of a test, its own symbols looked up
// first (several of ours export the same DllRegisterServer).
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path) : m_handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (!m_handle) throw std::runtime_error("cannot load " + path + ": " + dlerror());
    }
    ~LoadedLibrary() { dlclose(m_handle); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    void* symbol(const char* name) const
    {
        void* found = dlsym(m_handle, name);
        if (!found) throw std::runtime_error(std::string("missing symbol ") + name);
        return found;
    }

    std::int32_t call(const char* name) const
    {
        return reinterpret_cast<std::int32_t (*)()>(symbol(name))();
    }

private:
    void* m_handle;
};

} // namespace qln::test

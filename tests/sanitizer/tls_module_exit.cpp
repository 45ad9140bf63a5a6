// Leaves a thread alive at exit whose thread-local block of a dlopen'ed module starts 16
// bytes past a page boundary. GCC 12's LeakSanitizer, when it follows __tls_get_addr, takes
// the allocator's bytes before such a block for its bounds, and its tracer then crashes at
// exit; under the options of the sanitizer runs the process must end cleanly.
// Usage: quillon_tls_module_exit MODULE
#include <dlfcn.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

std::mutex g_mutex;
std::condition_variable g_answered;
int g_answer = -1; // 1: this thread's block starts at the page offset; 0: it does not

void touchAndReport(void* module, void (*touch)())
{
    touch();
    void* block = nullptr;
    const bool found = dlinfo(module, RTLD_DI_TLS_DATA, &block) == 0 && block != nullptr;
    const bool atOffset = found && reinterpret_cast<std::uintptr_t>(block) % 4096 == 16;
    {
        const std::lock_guard lock(g_mutex);
        g_answer = atOffset ? 1 : 0;
    }
    g_answered.notify_all();
    while (atOffset)
        pause(); // parked, block and all, until the process exits
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    const auto touch = reinterpret_cast<void (*)()>(dlsym(module, "touchThreadState"));
    if (touch == nullptr)
        return 2;
    // Each new thread gets a new block; freed ones are held back by the allocator, so the
    // blocks walk through their size class until one starts at the offset.
    for (int attempt = 0; attempt < 20000; ++attempt) {
        std::thread thread(touchAndReport, module, touch);
        std::unique_lock lock(g_mutex);
        g_answered.wait(lock, [] { return g_answer >= 0; });
        if (g_answer == 1) {
            lock.unlock();
            thread.detach();
            std::printf("block at page offset 16 after %d threads\n", attempt + 1);
            return 0;
        }
        g_answer = -1;
        lock.unlock();
        thread.join();
    }
    std::fprintf(stderr, "no thread-local block started at page offset 16\n");
    return 1;
}

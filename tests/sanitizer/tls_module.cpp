// A module whose thread-local block the dynamic linker allocates on each thread's first use,
// as it does for a component loaded with dlopen.
#include <string>

namespace {
struct ErrState {
    long number = 0;
    std::string description;
};
thread_local ErrState t_err;
} // namespace

extern "C" void touchThreadState()
{
    t_err.number = 1;
}

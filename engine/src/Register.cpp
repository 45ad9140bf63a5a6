// The exports of libQLN2000.so: its factory and its self-registration.

#include "Quillon.h"
#include "quillon/components/Components.h"

namespace {

const int kAnchor = 0;
constexpr const char* kFactory = "CreateClsQuillon";

} // namespace

extern "C" void* CreateClsQuillon()
{
    return static_cast<qln::engine::clsQuillon*>(new qln::engine::Quillon());
}

extern "C" std::int32_t DllRegisterServer()
{
    return qln::components::registerServer(qln::engine::kQuillonProgId, &kAnchor, kFactory);
}

extern "C" std::int32_t DllUnregisterServer()
{
    return qln::components::unregisterServer(qln::engine::kQuillonProgId);
}

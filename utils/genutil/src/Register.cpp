// The exports of libgenutil.so: its factory and its self-registration.

#include "GenUtils.h"
#include "quillon/components/Components.h"

namespace {

const int kAnchor = 0;
constexpr const char* kFactory = "CreateClsGenUtils";

} // namespace

extern "C" void* CreateClsGenUtils()
{
    return static_cast<qln::utils::clsGenUtils*>(new qln::genutil::GenUtils());
}

extern "C" std::int32_t DllRegisterServer()
{
    return qln::components::registerServer(qln::utils::kGenUtilsProgId, &kAnchor, kFactory);
}

extern "C" std::int32_t DllUnregisterServer()
{
    return qln::components::unregisterServer(qln::utils::kGenUtilsProgId);
}

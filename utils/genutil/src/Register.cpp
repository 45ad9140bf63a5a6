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
    try {
        qln::components::registerProgId(qln::utils::kGenUtilsProgId, qln::components::libraryPath(&kAnchor),
                                        kFactory);
        return qln::components::kSOk;
    } catch (const std::exception&) {
        return qln::components::kEUnexpected;
    }
}

extern "C" std::int32_t DllUnregisterServer()
{
    try {
        qln::components::unregisterProgId(qln::utils::kGenUtilsProgId);
        return qln::components::kSOk;
    } catch (const std::exception&) {
        return qln::components::kEUnexpected;
    }
}

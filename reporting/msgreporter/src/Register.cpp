// The exports of libmsgreporter.so: its factory and its self-registration.

#include "MsgReporter.h"
#include "quillon/components/Components.h"

namespace {

const int kAnchor = 0;
constexpr const char* kFactory = "CreateClsReporter";

} // namespace

extern "C" void* CreateClsReporter()
{
    return static_cast<qln::reporting::clsReporter*>(new qln::reporting::MsgReporter());
}

extern "C" std::int32_t DllRegisterServer()
{
    return qln::components::registerServer(qln::reporting::kReporterProgId, &kAnchor, kFactory);
}

extern "C" std::int32_t DllUnregisterServer()
{
    return qln::components::unregisterServer(qln::reporting::kReporterProgId);
}

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
    try {
        qln::components::registerProgId(qln::reporting::kReporterProgId, qln::components::libraryPath(&kAnchor),
                                        kFactory);
        return qln::components::kSOk;
    } catch (const std::exception&) {
        return qln::components::kEUnexpected;
    }
}

extern "C" std::int32_t DllUnregisterServer()
{
    try {
        qln::components::unregisterProgId(qln::reporting::kReporterProgId);
        return qln::components::kSOk;
    } catch (const std::exception&) {
        return qln::components::kEUnexpected;
    }
}

// libambmessages.so: the message catalog (its table is generated from
// data/messages/ambmessages.txt) and its self-registration.

#include "Registration.h"

namespace {

const int kAnchor = 0;

constexpr qln::reporting::CatalogRegistration kRegistration{
    "ambmessages",
    "EventMessageFile",
    "TypesSupported",
    7,  // error, warning and information
    "Unable to determine the install location of the message file.",
    "Unable to add the EventMessageFile to the MRU registry entries.",
    "Unable to add the TypesSupported to the MRU registry entries.",
};

} // namespace

extern "C" std::int32_t DllRegisterServer()
{
    return qln::reporting::registerCatalog(kRegistration, &kAnchor);
}

extern "C" std::int32_t DllUnregisterServer()
{
    return qln::reporting::unregisterCatalogs(kRegistration.title);
}

// libambcategories.so: the category catalog (its table is generated from
// data/messages/ambcategories.txt) and its self-registration.

#include "Registration.h"

namespace {

const int kAnchor = 0;

// CategoryCount is 100 although the catalog holds 59 rows: room for later applications.
constexpr qln::reporting::CatalogRegistration kRegistration{
    "ambcategories",
    "CategoryMessageFile",
    "CategoryCount",
    100,
    "Unable to determine the install location of the categories file.",
    "Unable to add the CategoryMessageFile to the MRU registry entries.",
    "Unable to add the CategoryCount to the MRU registry entries.",
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

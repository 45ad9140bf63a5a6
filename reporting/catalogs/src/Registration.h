#pragma once

#include <cstdint>
#include <string>

namespace qln::reporting {

// The event source both catalogs register: base name "AMBApps" and interface version 2.
std::string eventSourceKey();

// What sets the registrations of the two catalog libraries apart.
struct CatalogRegistration {
    const char* title;            // the library's name, as the title of failure boxes
    const char* fileValue;        // value naming the library file
    const char* numberValue;      // the second value, a 32-bit number
    std::uint32_t number;
    const char* locationFailure;  // box texts of the failing steps
    const char* fileFailure;
    const char* numberFailure;
};

// Enters the library that holds anchor as a catalog of the event source. Returns 0, or
// 0x8000FFFF after showing the failing step's box.
std::int32_t registerCatalog(const CatalogRegistration& registration, const void* anchor);

// Deletes the event source key, and with it the registration of both catalogs. Returns 0,
// also when nothing was registered, or 0x8000FFFF after showing the failure box.
std::int32_t unregisterCatalogs(const char* title);

} // namespace qln::reporting

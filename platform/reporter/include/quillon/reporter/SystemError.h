#pragma once

// What the system error handlers of the reporting libraries share. Header-only, so that a
// library that binds the Reporter by name at run time can use it without linking it.

#include "quillon/Error.h"

#include <cstdint>
#include <new>
#include <string>

namespace qln::reporter {

// An error as the reporting interfaces carry it: number 0 means no error.
struct ErrObject {
    std::int32_t number = 0;
    std::string description;
    friend bool operator==(const ErrObject&, const ErrObject&) = default;
};

// Call inside a catch block: the failure being handled as an error object.
inline ErrObject caughtError()
{
    try {
        throw;
    } catch (const EngineError& error) {
        return {static_cast<std::int32_t>(error.number()), error.description()};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& error) {
        return {static_cast<std::int32_t>(kUnexpectedError), error.what()};
    } catch (...) {
        return {static_cast<std::int32_t>(kUnexpectedError), "Unknown failure"};
    }
}

// The cause that makes an error number fatal (the program may now misbehave), or nullptr.
inline const char* fatalCause(std::int32_t number)
{
    switch (number) {
    case 7:
    case 31001: return "Out of memory for the running application";
    case 13:
    case 49: return "Invalid arguments passed to a DLL function";
    case 48: return "Error in loading a DLL for the application";
    case 53: return "Unable to locate a DLL";
    case 453: return "Specified function not within the DLL";
    default: return nullptr;
    }
}

// The box shown after any fatal report.
inline constexpr const char* kFatalTitle = "WARNING! WARNING! WARNING!";
inline constexpr const char* kFatalText = "WARNING: A Fatal error was just reported! The\n"
                                          "applications behavior is  unpredicable at this\n"
                                          "point. Manually terminate the application!!";

} // namespace qln::reporter

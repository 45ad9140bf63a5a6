#include "Errors.h"

#include "quillon/Error.h"

#include <exception>

namespace qln::landsort::detail {

void raise(std::int64_t number, std::string source, std::string description)
{
    throw EngineError(number, std::move(source), std::move(description));
}

void rethrowFromRoutine(std::string_view routine, int line)
{
    const std::string step = std::string(routine) + "(Line " + std::to_string(line) + ")";
    try {
        throw;
    } catch (const EngineError& error) {
        throw EngineError(error.number(), error.source() + "/" + step, error.description());
    } catch (const std::exception& error) {
        throw EngineError(kUnexpectedError, step, error.what());
    }
}

} // namespace qln::landsort::detail

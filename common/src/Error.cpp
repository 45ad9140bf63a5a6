#include "quillon/Error.h"

#include <cstdio>

namespace qln {

EngineError::EngineError(std::int64_t number, std::string source, std::string description)
    : m_number(number), m_source(std::move(source)), m_description(std::move(description))
{
}

void EngineError::prependSource(std::string_view procedure, int line)
{
    m_source = std::string(procedure) + "(Line " + std::to_string(line) + ")/" + m_source;
}

void EngineError::appendDescription(std::string_view text)
{
    m_description += text;
}

void rethrowWithTrail(std::string_view procedure, int line)
{
    try {
        throw;
    } catch (EngineError& error) {
        error.prependSource(procedure, line);
        throw;
    } catch (const std::exception& error) {
        EngineError wrapped(kUnexpectedError, "", error.what());
        wrapped.prependSource(procedure, line);
        throw wrapped;
    }
}

std::string hexNumber(std::int64_t number)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(number) & 0xFFFFFFFFull);
    return buffer;
}

} // namespace qln

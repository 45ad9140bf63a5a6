#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace qln {

// Error numbers shared by the layers below the engine.
inline constexpr std::int64_t kProviderError = 0x80004005;     // the data provider failed
inline constexpr std::int64_t kUnexpectedError = 0x8000FFFF;   // a non-engine exception escaped

// The one error type of the engine and the data layer: a number, the trail of procedures
// it passed through ("Outer(Line 2)/Inner(Line 5)/origin") and a description.
class EngineError : public std::exception {
public:
    EngineError(std::int64_t number, std::string source, std::string description);

    std::int64_t number() const noexcept { return m_number; }
    const std::string& source() const noexcept { return m_source; }
    const std::string& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

    // Puts "procedure(Line N)/" in front of the source.
    void prependSource(std::string_view procedure, int line);
    // Adds text at the end of the description (connection strings, queries).
    void appendDescription(std::string_view text);

private:
    std::int64_t m_number;
    std::string m_source;
    std::string m_description;
};

// Call inside a catch block: raises the error being handled again with
// "procedure(Line N)/" in front of its source. Any other exception becomes an
// EngineError with kUnexpectedError and its message.
[[noreturn]] void rethrowWithTrail(std::string_view procedure, int line);

// Hexadecimal form of an error number as users see it: "0x80040201".
std::string hexNumber(std::int64_t number);

} // namespace qln

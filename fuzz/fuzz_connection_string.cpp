// Connection strings: any text parses, and any value quoted in braces (with "}" doubled)
// comes back exactly, between other pairs.

#include "FuzzCheck.h"
#include "quillon/ado/Connection.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)qln::ado::parseConnectionString(text);

    std::string quoted = "{";
    for (const char c : text)
        quoted += c == '}' ? "}}" : std::string(1, c);
    quoted += '}';
    const auto pairs = qln::ado::parseConnectionString("Driver=x; DBQ=" + quoted + ";Provider=MSDataShape");
    QUILLON_FUZZ_CHECK(pairs.size() == 3);
    QUILLON_FUZZ_CHECK(pairs.at("DBQ") == text);
    QUILLON_FUZZ_CHECK(pairs.at("PROVIDER") == "MSDataShape");
    return 0;
}

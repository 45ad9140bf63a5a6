// SHAPE command texts: parsed into their levels, or refused with an engine error.

#include "Shape.h"
#include "quillon/Error.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        if (qln::ado::detail::isShapeCommand(text))
            (void)qln::ado::detail::parseShapeCommand(text);
    } catch (const qln::EngineError&) {
    }
    return 0;
}

// Message tables: read, or refused with MessageTableError; what is read writes back to the
// same entries.

#include "FuzzCheck.h"
#include "quillon/reporter/MessageTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using qln::reporter::MessageTable;
    try {
        const MessageTable table = MessageTable::parse({data, size});
        const auto encoded = MessageTable::encode(table.entries());
        QUILLON_FUZZ_CHECK(MessageTable::parse(encoded).entries() == table.entries());
        for (const auto& [id, text] : table.entries())
            QUILLON_FUZZ_CHECK(table.find(id) && *table.find(id) == text);
    } catch (const qln::reporter::MessageTableError&) {
    }
    return 0;
}

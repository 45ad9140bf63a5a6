#include "DbaseHeader.h"

namespace qln::ado::detail {

namespace {

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

} // namespace

std::optional<std::string> dbaseHeaderProblem(std::string_view head, std::uint64_t fileLength)
{
    if (fileLength < 32 || head.size() < 32)
        return "it is shorter than a dBase header (" + std::to_string(fileLength) + " bytes)";
    const std::uint64_t records = littleEndian(head, 4, 4);
    const std::uint64_t headerSize = littleEndian(head, 8, 2);
    const std::uint64_t recordSize = littleEndian(head, 10, 2);
    if (headerSize < 33 || headerSize > fileLength)
        return "its header claims " + std::to_string(headerSize) + " bytes in a file of " +
               std::to_string(fileLength);
    if (recordSize == 0)
        return "its header gives records of 0 bytes";

    // Field descriptors follow in 32-byte blocks until the end mark 0x0D; each record is
    // one deletion flag and the fields' widths.
    std::uint64_t widths = 1;
    std::size_t at = 32;
    for (;; at += 32) {
        if (at >= headerSize || at >= head.size())
            return std::string("its field list has no end within its header");
        if (head[at] == '\x0D')
            break;
        if (at + 32 > headerSize || at + 32 > head.size())
            return std::string("its field list has no end within its header");
        // Character fields may carry their width's high byte where others keep decimals.
        const auto width = static_cast<unsigned char>(head[at + 16]);
        const auto high = head[at + 11] == 'C' ? static_cast<unsigned char>(head[at + 17]) : 0u;
        widths += width + 256u * high;
    }
    if (widths != recordSize)
        return "its fields take " + std::to_string(widths) + " bytes per record, its header says " +
               std::to_string(recordSize);

    const std::uint64_t expected = headerSize + records * recordSize;
    if (fileLength != expected && fileLength != expected + 1)
        return "its header counts " + std::to_string(records) + " records of " + std::to_string(recordSize) +
               " bytes (" + std::to_string(expected) + " bytes with the header), the file has " +
               std::to_string(fileLength);
    return std::nullopt;
}

} // namespace qln::ado::detail

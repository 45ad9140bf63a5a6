#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace qln::reporter {

// How a catalog library carries its message table: one exported data symbol of this type,
// named kMessageTableSymbol, which the Reporter finds with dlsym.
struct MessageTableResource {
    std::uint32_t language;     // 1033: US English
    std::uint32_t size;         // bytes at data
    const unsigned char* data;  // the layout described at MessageTable
};
inline constexpr const char* kMessageTableSymbol = "qlnMessageTable";
inline constexpr std::uint32_t kLanguageUsEnglish = 1033;

// A message table that is truncated, points outside itself or holds what we cannot read.
class MessageTableError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A message table in the platform's message-table layout, all numbers little-endian:
// a 32-bit block count; per block the lowest id, the highest id and the offset of its
// entries (32 bits each); per entry a 16-bit length (the whole entry, padded to 4 bytes),
// 16-bit flags (0: narrow text) and the text with its terminating zero.
class MessageTable {
public:
    struct Block {
        std::uint32_t lowId = 0;
        std::uint32_t highId = 0;
        friend bool operator==(const Block&, const Block&) = default;
    };

    // Reads a table; throws MessageTableError naming the first fault found.
    static MessageTable parse(std::span<const unsigned char> bytes);
    // Writes the layout; each run of consecutive ids becomes one block. Texts are stored as
    // given (a catalog adds its own "%0" CR LF ending); a text may not hold a zero byte.
    static std::vector<unsigned char> encode(const std::map<std::uint32_t, std::string>& entries);

    // The stored text of an id, or nullptr when the table has no such entry.
    const std::string* find(std::uint32_t id) const;
    const std::vector<Block>& blocks() const { return m_blocks; }
    const std::map<std::uint32_t, std::string>& entries() const { return m_entries; }

private:
    std::vector<Block> m_blocks;
    std::map<std::uint32_t, std::string> m_entries;
};

} // namespace qln::reporter

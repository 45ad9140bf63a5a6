#include "quillon/reporter/MessageTable.h"

#include <algorithm>

namespace qln::reporter {

namespace {

constexpr std::size_t kBlockSize = 12;
constexpr std::size_t kEntryHeader = 4;

std::uint32_t read32(std::span<const unsigned char> bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

std::uint16_t read16(std::span<const unsigned char> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void write32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void append16(std::vector<unsigned char>& out, std::uint16_t value)
{
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

[[noreturn]] void fault(const std::string& what)
{
    throw MessageTableError("message table: " + what);
}

} // namespace

MessageTable MessageTable::parse(std::span<const unsigned char> bytes)
{
    if (bytes.size() < 4) fault("shorter than its block count");
    const std::uint64_t blockCount = read32(bytes, 0);
    if (4 + blockCount * kBlockSize > bytes.size())
        fault("block list of " + std::to_string(blockCount) + " blocks runs past the end");

    MessageTable table;
    for (std::size_t b = 0; b < blockCount; ++b) {
        const std::size_t at = 4 + b * kBlockSize;
        const Block block{read32(bytes, at), read32(bytes, at + 4)};
        const std::string name = "block " + std::to_string(b);
        if (block.lowId > block.highId) fault(name + " has its lowest id above its highest");
        std::size_t pos = read32(bytes, at + 8);
        // Ids run as 64-bit numbers so that a block ending at 0xFFFFFFFF still ends.
        for (std::uint64_t id = block.lowId; id <= block.highId; ++id) {
            const std::string entry = "entry " + std::to_string(id);
            if (pos + kEntryHeader > bytes.size()) fault(entry + " lies past the end");
            const std::uint16_t length = read16(bytes, pos);
            const std::uint16_t flags = read16(bytes, pos + 2);
            if (length < kEntryHeader || pos + length > bytes.size())
                fault(entry + " has the impossible length " + std::to_string(length));
            if (flags != 0) fault(entry + " is not narrow text (flags " + std::to_string(flags) + ")");
            const auto text = bytes.subspan(pos + kEntryHeader, length - kEntryHeader);
            const auto end = std::find(text.begin(), text.end(), 0);
            if (!table.m_entries.emplace(static_cast<std::uint32_t>(id), std::string(text.begin(), end)).second)
                fault(entry + " occurs twice");
            pos += length;
        }
        table.m_blocks.push_back(block);
    }
    return table;
}

std::vector<unsigned char> MessageTable::encode(const std::map<std::uint32_t, std::string>& entries)
{
    std::vector<Block> blocks;
    for (const auto& [id, text] : entries) {
        if (!blocks.empty() && blocks.back().highId + 1ull == id)
            blocks.back().highId = id;
        else
            blocks.push_back({id, id});
    }

    std::vector<unsigned char> out(4 + blocks.size() * kBlockSize);
    write32(out, 0, static_cast<std::uint32_t>(blocks.size()));
    auto entry = entries.begin();
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const std::size_t at = 4 + b * kBlockSize;
        write32(out, at, blocks[b].lowId);
        write32(out, at + 4, blocks[b].highId);
        write32(out, at + 8, static_cast<std::uint32_t>(out.size()));
        for (std::uint64_t id = blocks[b].lowId; id <= blocks[b].highId; ++id, ++entry) {
            const std::string& text = entry->second;
            if (text.find('\0') != std::string::npos)
                throw MessageTableError("message " + std::to_string(id) + " holds a zero byte");
            // Header, text and its terminating zero, padded to a multiple of 4.
            const std::size_t length = (kEntryHeader + text.size() + 1 + 3) / 4 * 4;
            if (length > 0xFFFF) throw MessageTableError("message " + std::to_string(id) + " is too long");
            append16(out, static_cast<std::uint16_t>(length));
            append16(out, 0);
            out.insert(out.end(), text.begin(), text.end());
            out.resize(out.size() + length - kEntryHeader - text.size(), 0);
        }
    }
    return out;
}

const std::string* MessageTable::find(std::uint32_t id) const
{
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : &it->second;
}

} // namespace qln::reporter

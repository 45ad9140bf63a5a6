#include "quillon/reporter/MessageTable.h"

#include <gtest/gtest.h>

#include <vector>

using qln::reporter::MessageTable;
using qln::reporter::MessageTableError;
using Bytes = std::vector<unsigned char>;

namespace {

void put32(Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void put16(Bytes& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<unsigned char>(value));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
}

// One block of one entry whose header says length and flags, followed by filler bytes.
Bytes oneEntry(std::uint32_t id, std::uint16_t length, std::uint16_t flags, std::size_t filler)
{
    Bytes bytes;
    put32(bytes, 1);
    put32(bytes, id);
    put32(bytes, id);
    put32(bytes, 16);
    put16(bytes, length);
    put16(bytes, flags);
    bytes.resize(bytes.size() + filler, 'x');
    return bytes;
}

void expectFault(const Bytes& bytes, const std::string& words)
{
    try {
        MessageTable::parse(bytes);
        FAIL() << "accepted a table that should fail with: " << words;
    } catch (const MessageTableError& error) {
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
}

} // namespace

TEST(MessageTableLayout, WritesTheLittleEndianLayoutByteForByte)
{
    const Bytes bytes = MessageTable::encode({{7, "Hi%0\r\n"}});
    Bytes expected;
    put32(expected, 1);   // blocks
    put32(expected, 7);   // lowest id
    put32(expected, 7);   // highest id
    put32(expected, 16);  // offset of the entries
    put16(expected, 12);  // 4 header + 6 text + zero = 11, padded to 12
    put16(expected, 0);   // narrow text
    for (const char c : std::string("Hi%0\r\n")) expected.push_back(static_cast<unsigned char>(c));
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(bytes, expected);
}

TEST(MessageTableLayout, RunsOfConsecutiveIdsShareABlockAndReadBack)
{
    const std::map<std::uint32_t, std::string> entries{
        {0, "banner"}, {1, "%1"}, {2, "abc"}, {19, "nineteen"}, {0xFFFFFFFF, "last"}};
    const MessageTable table = MessageTable::parse(MessageTable::encode(entries));
    const std::vector<MessageTable::Block> blocks{{0, 2}, {19, 19}, {0xFFFFFFFF, 0xFFFFFFFF}};
    EXPECT_EQ(table.blocks(), blocks);
    EXPECT_EQ(table.entries(), entries);
    ASSERT_NE(table.find(19), nullptr);
    EXPECT_EQ(*table.find(19), "nineteen");
    EXPECT_EQ(table.find(3), nullptr);
}

TEST(MessageTableLayout, RefusesTextsItCannotStore)
{
    EXPECT_THROW(MessageTable::encode({{1, std::string("a\0b", 3)}}), MessageTableError);
    EXPECT_THROW(MessageTable::encode({{1, std::string(70000, 'a')}}), MessageTableError);
}

TEST(MessageTableFaults, TruncatedOrOutOfRangeDataIsRefusedWithItsCause)
{
    expectFault({}, "shorter than its block count");
    Bytes tooManyBlocks;
    put32(tooManyBlocks, 0xFFFFFFFF);
    expectFault(tooManyBlocks, "runs past the end");
    Bytes offsetOutside = oneEntry(5, 8, 0, 4);
    offsetOutside[12] = 200;
    expectFault(offsetOutside, "entry 5 lies past the end");
    expectFault(oneEntry(5, 64, 0, 4), "impossible length 64");
}

TEST(MessageTableFaults, AnEntryOfLengthZeroCannotStallTheReader)
{
    expectFault(oneEntry(5, 0, 0, 4), "impossible length 0");
}

TEST(MessageTableFaults, UnicodeEntriesAndReversedBlocksAreRefused)
{
    expectFault(oneEntry(5, 8, 1, 4), "not narrow text");
    Bytes reversed = oneEntry(5, 8, 0, 4);
    reversed[4] = 9;
    expectFault(reversed, "lowest id above its highest");
}

TEST(MessageTableFaults, AnIdInTwoBlocksIsRefused)
{
    Bytes bytes;
    put32(bytes, 2);
    for (int b = 0; b < 2; ++b) {
        put32(bytes, 5);
        put32(bytes, 5);
        put32(bytes, 28);
    }
    put16(bytes, 8);
    put16(bytes, 0);
    put32(bytes, 0);
    expectFault(bytes, "entry 5 occurs twice");
}

TEST(MessageTableFaults, ABlockUpToTheLastIdEndsWhenTheDataEnds)
{
    Bytes bytes = oneEntry(0xFFFFFFF0, 8, 0, 4);
    bytes[8] = bytes[9] = bytes[10] = bytes[11] = 0xFF;  // highest id 0xFFFFFFFF
    expectFault(bytes, "lies past the end");
}

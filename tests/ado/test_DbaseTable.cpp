#include "DbaseHeader.h"
#include "TempFolder.h"
#include "quillon/Error.h"
#include "quillon/ado/DbaseTable.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <charconv>

#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void putLittleEndian(std::string& bytes, std::size_t at, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A map-unit attribute file of `rows` records (MUSYM text, MUKEY number, ACRES decimal).
fs::path writeMapUnits(const fs::path& file, int rows)
{
    DBFHandle handle = DBFCreateEx(file.c_str(), "UTF-8");
    DBFAddField(handle, "MUSYM", FTString, 6, 0);
    DBFAddField(handle, "MUKEY", FTInteger, 8, 0);
    DBFAddField(handle, "ACRES", FTDouble, 10, 2);
    for (int row = 0; row < rows; ++row) {
        DBFWriteStringAttribute(handle, row, 0, ("Ab" + std::to_string(row)).c_str());
        DBFWriteIntegerAttribute(handle, row, 1, 1000 + row);
        // shapelib formats doubles with the C library's locale: write the cell's text ourselves
        // so the file is the same when the tests run under a comma-decimal locale.
        if (row % 2 == 0) {
            char cell[16];
            const auto end = std::to_chars(cell, cell + sizeof cell, 12.5 + row, std::chars_format::fixed, 2).ptr;
            std::string text = std::string(10 - static_cast<std::size_t>(end - cell), ' ') + std::string(cell, end);
            DBFWriteAttributeDirectly(handle, row, 2, text.data());
        }
        else
            DBFWriteNULLAttribute(handle, row, 2);
    }
    DBFClose(handle);
    return file;
}

// The description of the EngineError the read raises, and what it wrote to standard error.
std::pair<std::string, std::string> failureOf(const fs::path& file)
{
    testing::internal::CaptureStderr();
    std::string description = "<no error>";
    try {
        qln::ado::readDbaseTable(file);
    } catch (const qln::EngineError& error) {
        description = error.description();
    }
    return {description, testing::internal::GetCapturedStderr()};
}

class DbaseTableTest : public ::testing::Test {
protected:
    qln::test::TempFolder folder;
    fs::path file = writeMapUnits(folder / "soils.dbf", 50);
    std::string bytes = readFile(file);
};

} // namespace

TEST_F(DbaseTableTest, ReadsAWholeFileTyped)
{
    qln::ado::Recordset table = qln::ado::readDbaseTable(file);
    ASSERT_EQ(table.recordCount(), 50);
    EXPECT_EQ(table.value("MUSYM").text(), "Ab0");
    EXPECT_EQ(table.value("MUKEY").integer(), 1000);
    EXPECT_EQ(table.value("ACRES").real(), 12.5);
    table.moveNext();
    EXPECT_TRUE(table.value("ACRES").isNull());
}

TEST_F(DbaseTableTest, ABadHeaderIsRefusedWithOneMessageNamingTheFile)
{
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string lyingCount = bytes;
    putLittleEndian(lyingCount, 4, 51, 4);
    std::string hugeCount = bytes;
    putLittleEndian(hugeCount, 4, 0xFFFFFFFFu, 4);
    std::string fewerRecords = bytes;
    putLittleEndian(fewerRecords, 4, 49, 4);
    std::string recordSize = bytes;
    putLittleEndian(recordSize, 10, 26, 2);
    std::string headerSize = bytes;
    putLittleEndian(headerSize, 8, 0xFFFF, 2);
    std::string noFieldEnd = bytes;
    noFieldEnd[32 + 3 * 32] = 'X';
    const Case cases[] = {
        {"cut inside a record", bytes.substr(0, bytes.size() - 30)},
        {"cut inside the header", bytes.substr(0, 40)},
        {"shorter than a header", bytes.substr(0, 10)},
        {"a count of one record too many", lyingCount},
        {"a count of four billion records", hugeCount},
        {"more records than counted", fewerRecords},
        {"a record size its fields do not fill", recordSize},
        {"a header size beyond the file", headerSize},
        {"a field list without its end", noFieldEnd},
    };
    for (const Case& c : cases) {
        writeFile(file, c.bytes);
        const auto [description, printed] = failureOf(file);
        EXPECT_NE(description.find(file.string()), std::string::npos) << c.what << ": " << description;
        EXPECT_EQ(printed, "") << c.what;
    }
}

TEST_F(DbaseTableTest, AnEndOfFileMarkIsNoExtraRecord)
{
    // shapelib writes the 0x1A mark; a file without it is just as whole.
    ASSERT_EQ(bytes.back(), '\x1A');
    writeFile(file, bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(qln::ado::readDbaseTable(file).recordCount(), 50);
}

TEST_F(DbaseTableTest, OverflowedCellsAreNullNeverZero)
{
    // Column offsets in each record: flag 1, MUSYM 6, MUKEY 8, ACRES 10.
    const std::size_t header = static_cast<unsigned char>(bytes[8]) + 256u * static_cast<unsigned char>(bytes[9]);
    bytes.replace(header + 1 + 6, 8, "********");
    bytes.replace(header + 1 + 6 + 8, 10, "**********");
    const std::size_t second = header + 1 + 6 + 8 + 10;
    bytes.replace(second + 1 + 6 + 8 + 10 + 1 + 6 + 8, 10, "      +2.5");
    writeFile(file, bytes);
    qln::ado::Recordset table = qln::ado::readDbaseTable(file);
    EXPECT_TRUE(table.value("MUKEY").isNull());
    EXPECT_TRUE(table.value("ACRES").isNull());
    table.moveNext();
    table.moveNext();
    EXPECT_EQ(table.value("ACRES").real(), 2.5);
}

TEST(DbaseHeader, ProblemsAreNamedOnlyWhenSizesDisagree)
{
    using qln::ado::detail::dbaseHeaderProblem;
    // One field of 4 bytes: header 32 + 32 + 1 = 65, records of 5 bytes.
    std::string head(65, '\0');
    putLittleEndian(head, 4, 3, 4);
    putLittleEndian(head, 8, 65, 2);
    putLittleEndian(head, 10, 5, 2);
    head[32 + 11] = 'C';
    head[32 + 16] = 4;
    head[64] = '\x0D';
    EXPECT_EQ(dbaseHeaderProblem(head, 65 + 15), std::nullopt);
    EXPECT_EQ(dbaseHeaderProblem(head, 65 + 15 + 1), std::nullopt);
    EXPECT_NE(dbaseHeaderProblem(head, 65 + 15 + 2), std::nullopt);
    EXPECT_NE(dbaseHeaderProblem(head, 65 + 14), std::nullopt);
    EXPECT_NE(dbaseHeaderProblem(head.substr(0, 64), 65 + 15), std::nullopt);
    // A character field wider than 255 carries its high byte beside the width.
    head[32 + 17] = 1;
    putLittleEndian(head, 10, 261, 2);
    EXPECT_EQ(dbaseHeaderProblem(head, 65 + 3 * 261), std::nullopt);
}

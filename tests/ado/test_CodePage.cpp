// The code page of a dBase file as shapelib reports it, and texts decoded by it.
#include "TempFolder.h"
#include "quillon/ado/CodePage.h"
#include "quillon/ado/DbaseTable.h"

#include <gtest/gtest.h>
#include <shapefil.h>

using namespace qln::ado;

namespace {

// A one-column table whose cell holds the given bytes, in the code page named as shapelib
// takes it (a .cpg name, or "LDID/<n>" for the header's language byte).
std::string readBack(const std::filesystem::path& file, const char* codePage, const char* bytes)
{
    DBFHandle handle = DBFCreateEx(file.c_str(), codePage);
    DBFAddField(handle, "MUSYM", FTString, 10, 0);
    DBFWriteStringAttribute(handle, 0, 0, bytes);
    DBFClose(handle);
    return readDbaseTable(file).value(0).text();
}

} // namespace

TEST(CodePage, NamesAsFilesGiveThemBecomeIconvNames)
{
    EXPECT_EQ(iconvName("ANSI 1251"), "CP1251");
    EXPECT_EQ(iconvName("88591"), "ISO-8859-1");
    EXPECT_EQ(iconvName("8859_15"), "ISO-8859-15");
    EXPECT_EQ(iconvName("utf8"), "UTF-8");
    EXPECT_EQ(iconvName("LDID/200"), "CP1250");
    EXPECT_EQ(iconvName("LDID/250"), "") << "not a language driver";
    EXPECT_EQ(iconvName("  "), "");
}

TEST(CodePage, UnknownPagesReadUtf8AsItIsAndElseWindows1252)
{
    TextDecoder unknown(nullptr);
    EXPECT_EQ(unknown.decode("caf\xE9"), "caf\xC3\xA9") << "Windows-1252 when nothing is said";
    EXPECT_EQ(unknown.decode("caf\xC3\xA9"), "caf\xC3\xA9") << "valid UTF-8 kept";
    EXPECT_EQ(unknown.decode("\x80"), "\xE2\x82\xAC") << "the euro sign of Windows-1252, not a C1 control";
    TextDecoder utf8("UTF-8");
    EXPECT_EQ(utf8.decode("a\xFF" "b"), "a\xEF\xBF\xBD" "b") << "a stray byte marked, the rest kept";
}

// The attribute reader of the viewer and the tools decodes as the map does: the same byte
// is a different letter under each code page the file names.
TEST(CodePage, DbaseTablesAreReadInTheirOwnCodePage)
{
    qln::test::TempFolder temp;
    EXPECT_EQ(readBack(temp / "dos.dbf", "LDID/1", "M\x82"), "M\xC3\xA9") << "CP437 by language byte: e acute";
    EXPECT_EQ(readBack(temp / "windows.dbf", "1252", "M\x82"), "M\xE2\x80\x9A") << "CP1252 by .cpg: low quote";
    EXPECT_EQ(readBack(temp / "cyrillic.dbf", "LDID/201", "\xC4"), "\xD0\x94") << "CP1251: De";
    EXPECT_EQ(readBack(temp / "utf8.dbf", "UTF-8", "\xC3\xA9"), "\xC3\xA9");
}

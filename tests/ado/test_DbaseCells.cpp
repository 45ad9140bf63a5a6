#include "../support/TempFolder.h"
#include "quillon/Error.h"
#include "quillon/ado/DbaseTable.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <string>
#include <vector>

namespace {

// A table with one numeric column of the given width and decimals; the cells are written
// as raw text, exactly as another program may have left them.
std::filesystem::path numberTable(const std::filesystem::path& file, int width, int decimals,
                                  const std::vector<std::string>& cells)
{
    DBFHandle handle = DBFCreate(file.c_str());
    DBFAddField(handle, "VALUE", FTDouble, width, decimals);
    for (int row = 0; row < static_cast<int>(cells.size()); ++row) {
        std::string cell = cells[static_cast<std::size_t>(row)];
        cell.insert(0, static_cast<std::size_t>(width) - cell.size(), ' ');
        DBFWriteAttributeDirectly(handle, row, 0, cell.data());
    }
    DBFClose(handle);
    return file;
}

} // namespace

TEST(DbaseCells, NumbersAreReadWithAPointWhateverTheLocale)
{
    qln::test::TempFolder temp;
    auto table = qln::ado::readDbaseTable(numberTable(temp / "n.dbf", 12, 3, {"2.500", "-0.125", "+1234.567", ""}));
    EXPECT_EQ(table.value("VALUE").real(), 2.5);
    table.moveNext();
    EXPECT_EQ(table.value("VALUE").real(), -0.125);
    table.moveNext();
    EXPECT_EQ(table.value("VALUE").real(), 1234.567);
    table.moveNext();
    EXPECT_TRUE(table.value("VALUE").isNull());  // a blank cell is missing, not 0

    table = qln::ado::readDbaseTable(numberTable(temp / "i.dbf", 6, 0, {"42", "-7"}));
    EXPECT_EQ(table.value("VALUE").integer(), 42);
}

TEST(DbaseCells, ACellThatIsNoNumberIsAnErrorNamingTheFileNeverZero)
{
    qln::test::TempFolder temp;
    for (const char* bad : {"2,5", "abc", "nan", "1.5x"}) {
        const auto file = numberTable(temp / "bad.dbf", 12, 3, {"1.000", bad});
        try {
            qln::ado::readDbaseTable(file);
            ADD_FAILURE() << bad << " was read";
        } catch (const qln::EngineError& error) {
            EXPECT_EQ(error.description(), "The dBase table " + file.string() + " holds \"" + std::string(bad) +
                                               "\" in field 1 of record 2, which is not a number.");
        }
    }
}

#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/ado/Connection.h"

#include <gtest/gtest.h>

// Dates stored as text in a soils or results file, read into date values; the tests also
// run under a comma-decimal locale, where a seconds fraction must keep its point.
TEST(DateText, IsoTextsBecomeDatesWithTheirTimeOfDay)
{
    qln::test::TempFolder temp;
    const auto file = temp / "dates.sqlite";
    qln::test::runSql(file, R"sql(
CREATE TABLE t (n INTEGER, d DATE);
INSERT INTO t VALUES (1, '1899-12-30'), (2, '2000-01-01 12:00'), (3, '2000-01-01T06:00:30.5'),
  (4, '2000-13-01'), (5, '2000-01-01x'), (6, 'soon');
)sql");
    qln::ado::Connection connection;
    connection.setConnectionString("DBQ=" + file.string() + ";");
    connection.setCursorLocation(qln::ado::adUseClient);
    connection.open();
    qln::ado::Recordset rows;
    rows.open("SELECT n, d FROM t ORDER BY n", connection);

    EXPECT_EQ(rows.value("d").date().serial, 0.0);
    rows.moveNext();
    EXPECT_EQ(rows.value("d").date().serial, 36526.5);
    rows.moveNext();
    EXPECT_DOUBLE_EQ(rows.value("d").date().serial, 36526.0 + (6 * 3600 + 30.5) / 86400.0);
    for (int n = 4; n <= 6; ++n) {  // no date: kept as the text it is
        rows.moveNext();
        EXPECT_EQ(rows.value("d").kind(), qln::Variant::Kind::Text) << n;
    }
}

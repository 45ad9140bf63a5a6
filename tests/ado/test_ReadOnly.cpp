#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/Error.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/Transaction.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

using qln::ado::Connection;
using qln::ado::Recordset;
using qln::ado::Transaction;

namespace {

struct ReadOnly : ::testing::Test {
    qln::test::TempFolder temp;
    std::filesystem::path file = temp / "soils.sqlite";

    void SetUp() override
    {
        qln::test::runSql(file, "CREATE TABLE mapunit (mukey VARCHAR(30), musym VARCHAR(6));"
                                "INSERT INTO mapunit VALUES ('10','Aa'),('11','Bb');");
    }

    Connection open(int mode, const std::string& extra = "")
    {
        Connection cn;
        cn.setConnectionString("DBQ=" + qln::ado::quoteConnectionValue(file.string()) + ";" + extra);
        cn.setMode(mode);
        cn.open();
        return cn;
    }

    std::string bytes() const
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    long count(const std::string& where = "1")
    {
        Connection cn = open(qln::ado::adModeRead);
        return static_cast<long>(cn.execute("SELECT count(*) AS n FROM mapunit WHERE " + where).value("n").integer());
    }
};

std::int64_t errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qln::EngineError& error) {
        return error.number();
    }
    return 0;
}

} // namespace

TEST_F(ReadOnly, AReadOnlyConnectionRefusesEveryWriteAndLeavesTheFileAlone)
{
    const std::string before = bytes();
    for (const std::string mode : {"", "Mode=Read;"}) {
        Connection cn = open(mode.empty() ? qln::ado::adModeRead : qln::ado::adModeUnknown, mode);
        EXPECT_TRUE(cn.isReadOnly());
        Recordset rs = cn.execute("SELECT * FROM mapunit");
        ASSERT_TRUE(rs.isConnected());
        EXPECT_EQ(errorOf([&] { rs.setValue("musym", "Zz"); }), qln::ado::adErrFeatureNotAvailable);
        EXPECT_EQ(rs.value("musym").str(), "Aa");  // refused before anything changed
        EXPECT_EQ(errorOf([&] { rs.addNew(); }), qln::ado::adErrFeatureNotAvailable);
        EXPECT_EQ(rs.recordCount(), 2);
        EXPECT_EQ(errorOf([&] { cn.execute("INSERT INTO mapunit VALUES ('12','Cc')"); }), qln::kProviderError);
        EXPECT_EQ(errorOf([&] { cn.execute("DROP TABLE mapunit"); }), qln::kProviderError);
    }
    EXPECT_EQ(bytes(), before);
}

TEST_F(ReadOnly, ARecordSetIsUpdatableOnlyWhenOpenedForWriting)
{
    Connection cn = open(qln::ado::adModeUnknown);
    EXPECT_FALSE(cn.isReadOnly());
    Recordset locked;
    locked.open("SELECT * FROM mapunit", cn, qln::ado::adOpenStatic, qln::ado::adLockReadOnly);
    EXPECT_EQ(errorOf([&] { locked.setValue("musym", "Zz"); }), qln::ado::adErrFeatureNotAvailable);
    EXPECT_EQ(errorOf([&] { locked.clone().setValue("musym", "Zz"); }), qln::ado::adErrFeatureNotAvailable);
    EXPECT_EQ(count("musym='Zz'"), 0);

    Recordset writable;
    writable.open("SELECT * FROM mapunit", cn, qln::ado::adOpenStatic, qln::ado::adLockOptimistic);
    writable.setValue("musym", "Zz");
    writable.update();
    EXPECT_EQ(count("musym='Zz'"), 1);

    // Disconnected rows and rows built in memory change in memory only.
    Recordset detached = open(qln::ado::adModeRead).execute("SELECT * FROM mapunit");
    detached.disconnect();
    detached.setValue("musym", "Yy");
    detached.update();
    EXPECT_EQ(count("musym='Yy'"), 0);
}

TEST_F(ReadOnly, TransactionGuardRollsBackUnlessCommitted)
{
    Connection cn = open(qln::ado::adModeUnknown);
    {
        Transaction guard(cn);
        cn.execute("INSERT INTO mapunit VALUES ('12','Cc')");
        cn.execute("DELETE FROM mapunit WHERE mukey='10'");
    }
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(count("mukey='10'"), 1);

    // A failure half-way leaves nothing of the write.
    EXPECT_THROW(
        {
            Transaction guard(cn);
            cn.execute("INSERT INTO mapunit VALUES ('12','Cc')");
            cn.execute("INSERT INTO nosuchtable VALUES (1)");
            guard.commit();
        },
        qln::EngineError);
    EXPECT_EQ(count(), 2);

    {
        Transaction guard(cn);
        cn.execute("INSERT INTO mapunit VALUES ('12','Cc')");
        cn.execute("INSERT INTO mapunit VALUES ('13','Dd')");
        guard.commit();
    }
    EXPECT_EQ(count(), 4);
    // After a committed guard the connection takes a new transaction.
    Transaction next(cn);
    next.commit();
}

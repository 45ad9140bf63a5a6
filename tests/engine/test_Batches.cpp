#include "EngineFixture.h"

#include "MapunitBatches.h"
#include "quillon/Error.h"

#include <utility>

using qln::Variant;

namespace {

// Two survey areas whose map units are stored out of key order, one map unit listed in
// both, ties on comppct_r, a component without horizons, a horizon upside down that two
// map units share, and monthly rows.
class Batches : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
INSERT INTO legend VALUES ('TS002','Second Area','L2');
INSERT INTO distlegendmd VALUES ('Updated','2023-10-01','L2','D1');
INSERT INTO mapunit VALUES ('9','Nine','L1','9'), ('10','Ten','L1','10'), ('2','Two','L1','2'),
  ('X','Shared','L1','X'), ('30','Thirty','L2','30'), ('X','Shared','L2','X'), ('1','One','L2','1'),
  ('11','Eleven','L2','11');
INSERT INTO component (comppct_r, compname, drainagecl, slope_r, hydricrating, mukey, cokey) VALUES
  (50,'A','Well drained',3,'No','9','9a'), (50,'B','Poorly drained',8,'Yes','9','9b'),
  (70,'C','Poorly drained',2,'Yes','10','10a'), (30,'D','Well drained',NULL,'No','10','10b'),
  (100,'E','Well drained',4,'No','2','2a'),
  (40,'F','Moderately well drained',6,'No','X','Xa'), (40,'G','Well drained',1,'Yes','X','Xb'),
  (20,'H','Poorly drained',9,NULL,'X','Xc'),
  (60,'I','Poorly drained',5,'Yes','30','30a'), (40,'J','Well drained',7,'No','30','30b'),
  (100,'K','Well drained',2,'No','1','1a'),
  (85,'L','Well drained',3,'No','11','11a'), (15,'M',NULL,12,'Yes','11','11b');
INSERT INTO chorizon (hzdept_r, hzdepb_r, awc_r, claytotal_r, om_r, cokey, chkey) VALUES
  (0,20,0.2,18,2,'9a','h1'), (20,60,0.15,30,1,'9a','h2'), (0,100,0.1,12,1,'9b','h3'),
  (0,30,0.22,25,3,'10a','h4'), (30,90,0.18,35,1,'10a','h5'), (0,50,0.12,8,1,'10b','h6'),
  (0,40,0.2,20,2,'2a','h7'), (60,40,0.1,22,1,'Xa','h8'), (0,60,0.16,28,2,'Xa','h9'),
  (0,25,0.21,15,4,'Xb','h10'), (0,80,0.11,40,1,'30a','h11'), (0,100,0.19,26,2,'30b','h12'),
  (0,30,0.17,19,2,'1a','h13'), (30,70,0.14,33,1,'1a','h14'), (0,50,0.13,24,1,'11a','h15'),
  (0,20,0.25,10,5,'11b','h16');
INSERT INTO comonth (monthseq, month, flodfreqcl, cokey, comonthkey) VALUES
  (1,'January','None','9a','m1'), (1,'January','Frequent','9b','m2'), (2,'February','Rare','10a','m3'),
  (1,'January','Occasional','Xa','m4'), (1,'January','None','30a','m5'), (1,'January','Rare','11a','m6');
)sql");
    }

    struct Run {
        std::vector<std::string> rows;  // every field of every results row, in order
        std::string filter;             // left on the map units
        qln::engine::InvertedHorizons inverted;
        std::vector<std::pair<long, long>> progress;
    };

    // Runs with the given limits; the progress handler stops the run after stopAfter map units.
    Run runWith(const std::map<std::string, Variant>& overrides, std::size_t batch, unsigned threads,
                long stopAfter = -1, const std::vector<std::string>& keys = {"1", "2", "9", "10", "11", "30", "X"})
    {
        engine.setRunLimits(batch, threads);
        Run run;
        engine.setProgressHandler([&run, stopAfter](long done, long total) {
            run.progress.emplace_back(done, total);
            return stopAfter < 0 || done < stopAfter;
        });
        qln::ado::Recordset data = userData(overrides);
        qln::ado::Recordset units = mapunits(keys);
        auto results = engine.ProcessData(soilsConnect(), data, units);
        EXPECT_TRUE(results.has_value());
        if (!results)
            return run;
        for (results->moveFirst(); !results->eof(); results->moveNext()) {
            std::string row;
            for (int f = 0; f < results->fieldCount(); ++f)
                row += results->value(f).text() + "|";
            run.rows.push_back(row);
        }
        run.filter = units.filter();
        run.inverted = engine.invertedHorizons();
        return run;
    }
};

} // namespace

TEST_F(Batches, EveryBatchSizeAndThreadCountRatesAsTheWholeRun)
{
    struct Case {
        const char* attribute;
        std::map<std::string, std::string> columns;
        std::map<std::string, Variant> options;
    };
    const std::map<std::string, std::string> clay = {{"TelvaTable", "'chorizon'"}, {"AttrColText", "'claytotal_r'"},
                                                     {"TieBreakColText", "'claytotal_r'"}, {"SoilLayerOptions", "1"}};
    const std::map<std::string, Variant> layer = {{"TopDepth", 0}, {"BotDepth", 100}};
    const std::vector<Case> cases = {
        {"awc", {{"TelvaTable", "'chorizon'"}, {"AttrColText", "'awc_r'"}, {"TieBreakColText", "'awc_r'"},
                 {"SoilLayerOptions", "1"}, {"RoundNumbers", "2"}},
         {{"Algorithm", 0}, {"TopDepth", 0}, {"BotDepth", 100}}},
        {"slope", {}, {{"Algorithm", 3}}},
        {"clayML", clay, {{"Algorithm", 1}, {"TopDepth", 0}, {"BotDepth", 100}}},
        {"clayLL", clay, {{"Algorithm", 2}, {"TopDepth", 0}, {"BotDepth", 100}}},
        {"drain", {{"AttrColText", "'drainagecl'"}, {"TieBreakColText", "'drainagecl'"}, {"DBFType", "'text'"},
                   {"DefinedSize", "30"}},
         {{"Algorithm", 4}}},
        {"hydric", {{"AttrColText", "'hydricrating'"}, {"TieBreakColText", "'hydricrating'"}, {"DBFType", "'text'"},
                    {"DefinedSize", "20"}},
         {{"Algorithm", 5}}},
        {"clayAC", clay, {{"Algorithm", 6}, {"TopDepth", 0}, {"BotDepth", 100}}},
        {"flood", {{"TelvaTable", "'comonth'"}, {"AttrColText", "'flodfreqcl'"}, {"TieBreakColText", "'flodfreqcl'"},
                   {"DBFType", "'text'"}, {"DefinedSize", "20"}, {"SeasonOptions", "1"}},
         {{"Algorithm", 4}, {"BegMonth", 1}, {"EndMonth", 2}}},
    };
    // Without indexes every level is read once into copies; with them, batches seek the tables.
    for (const bool indexed : {false, true}) {
        if (indexed)
            soilsSql("CREATE INDEX mapunit_mukey ON mapunit (mukey); CREATE INDEX component_mukey ON component (mukey);"
                     "CREATE INDEX chorizon_cokey ON chorizon (cokey); CREATE INDEX comonth_cokey ON comonth (cokey);");
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.attribute) + (indexed ? ", indexed" : ""));
            rulesSql("DELETE FROM Attributes;");
            addAttribute(c.columns);
            const Run whole = runWith(c.options, 0, 1);
            ASSERT_GE(whole.rows.size(), 5u);
            for (const std::size_t batch : {1u, 2u, 3u}) {
                for (const unsigned threads : {1u, 3u}) {
                    SCOPED_TRACE("batch " + std::to_string(batch) + ", threads " + std::to_string(threads));
                    const Run batched = runWith(c.options, batch, threads);
                    EXPECT_EQ(batched.rows, whole.rows);
                    EXPECT_EQ(batched.filter, whole.filter);
                    EXPECT_EQ(batched.inverted.count, whole.inverted.count);
                    EXPECT_EQ(batched.inverted.first, whole.inverted.first);
                    EXPECT_EQ(batched.progress, whole.progress);
                }
            }
        }
    }
}

TEST_F(Batches, AFaultInALaterBatchEndsTheRunAsTheWholeRunDoes)
{
    // Map unit 11 comes last; its minor component's slope is a text.
    soilsSql("UPDATE component SET slope_r='steep' WHERE cokey='11b';");
    addAttribute({});
    const auto errorOf = [&](std::size_t batch, unsigned threads) {
        try {
            runWith({{"Algorithm", 3}}, batch, threads);
        } catch (const qln::EngineError& error) {
            return error;
        }
        return qln::EngineError(0, "", "<no error>");
    };
    const qln::EngineError whole = errorOf(0, 1);
    ASSERT_NE(whole.number(), 0);
    EXPECT_NE(whole.description().find("steep"), std::string::npos) << whole.description();
    for (const unsigned threads : {1u, 3u}) {
        const qln::EngineError batched = errorOf(2, threads);
        EXPECT_EQ(batched.number(), whole.number());
        EXPECT_EQ(batched.source(), whole.source());
        EXPECT_EQ(batched.description(), whole.description());
    }
}

TEST_F(Batches, AStopFromTheProgressHandlerEndsABatchedRunWithNothingReturned)
{
    addAttribute({});
    for (const unsigned threads : {1u, 3u}) {
        try {
            runWith({{"Algorithm", 3}}, 2, threads, 3);
            ADD_FAILURE() << "the run went on after the stop, threads " << threads;
        } catch (const qln::EngineError& error) {
            EXPECT_EQ(error.number(), qln::engine::qlnErrCancelled);
        }
    }
}

TEST_F(Batches, KeyRangesHoldWhatTheDatabaseSortsBetweenTheirEnds)
{
    // Under this column's collation 'x' sorts before 'Y'; byte by byte it sorts after.
    soilsSql(R"sql(
ALTER TABLE mapunit RENAME TO mapunit_cased;
CREATE TABLE mapunit (musym VARCHAR(6), muname VARCHAR(175), lkey VARCHAR(30), mukey VARCHAR(30) COLLATE NOCASE);
INSERT INTO mapunit SELECT * FROM mapunit_cased;
DROP TABLE mapunit_cased;
CREATE INDEX mapunit_mukey ON mapunit (mukey);
UPDATE mapunit SET mukey='x' WHERE mukey='X';
UPDATE component SET mukey='x' WHERE mukey='X';
UPDATE mapunit SET mukey='Y' WHERE mukey='30';
UPDATE component SET mukey='Y' WHERE mukey='30';
)sql");
    addAttribute({});
    const std::map<std::string, Variant> slope = {{"Algorithm", 3}};
    // All map units, then a selection leaving out some that lie between the others.
    for (const std::vector<std::string>& keys :
         {std::vector<std::string>{"1", "2", "9", "10", "11", "Y", "x"}, std::vector<std::string>{"1", "2", "11", "x"}}) {
        const Run whole = runWith(slope, 0, 1, -1, keys);
        ASSERT_GT(whole.rows.size(), keys.size());  // 'x' is listed in both survey areas
        for (const std::size_t batch : {1u, 2u, 3u}) {
            SCOPED_TRACE("batch " + std::to_string(batch) + " of " + std::to_string(keys.size()));
            EXPECT_EQ(runWith(slope, batch, 2, -1, keys).rows, whole.rows);
        }
    }
}

namespace {

qln::engine::RatingOrder orderOf(const std::vector<std::string>& keys)
{
    qln::engine::RatingOrder order;
    for (const auto& key : keys)
        order.entries.push_back({0, key});
    order.legendRows = 1;
    return order;
}

qln::engine::MapunitKeyOrder sortedAs(const std::vector<Variant>& keys)
{
    return qln::engine::MapunitKeyOrder(keys);
}

} // namespace

TEST(MapunitKeyOrder, StretchesOfTheDatabaseOrderBecomeRangesAndLoneKeysAList)
{
    const auto keys = sortedAs({"1", "10", "11", "2", Variant::null(), "30", "9", "O'Neil", "X", "X"});
    const auto condition = [&](const std::vector<std::string>& batch) {
        return keys.condition(orderOf(batch), 0, batch.size());
    };
    // Listed in any order and more than once, the keys of one stretch are one range.
    EXPECT_EQ(condition({"2", "10", "11", "10"}), "(mapunit.mukey>='10' AND mapunit.mukey<='2')");
    // A key left out splits the stretch; a key alone between keys left out is listed.
    EXPECT_EQ(condition({"1", "11", "2", "9"}),
              "(mapunit.mukey IN ('1','9') OR (mapunit.mukey>='11' AND mapunit.mukey<='2'))");
    // A map unit without key does not split; a key held twice is one range over both.
    EXPECT_EQ(condition({"30", "2", "9"}), "(mapunit.mukey>='2' AND mapunit.mukey<='9')");
    EXPECT_EQ(condition({"X"}), "(mapunit.mukey>='X' AND mapunit.mukey<='X')");
    EXPECT_EQ(condition({"9", "O'Neil"}), "(mapunit.mukey>='9' AND mapunit.mukey<='O''Neil')");
    // Only a subset of the order's entries is the batch.
    EXPECT_EQ(keys.condition(orderOf({"1", "10", "11", "2"}), 1, 3), "(mapunit.mukey>='10' AND mapunit.mukey<='11')");
}

TEST(MapunitKeyOrder, KeysTheOrderCannotPlaceAreReadByTheirList)
{
    const std::vector<std::string> batch = {"b", "a", "c"};
    const std::string list = "mapunit.mukey IN ('b','a','c')";
    // A key the database no longer holds: the list lets the batch report the change.
    EXPECT_EQ(sortedAs({"a", "b"}).condition(orderOf(batch), 0, 3), list);
    // Numbers compare with quoted literals otherwise than they sort.
    EXPECT_EQ(sortedAs({"a", "b", 3}).condition(orderOf(batch), 0, 3), list);
    EXPECT_EQ(qln::engine::MapunitKeyOrder().condition(orderOf(batch), 0, 3), list);
    // Scattered keys: beyond 32 ranges the list is the simpler query.
    std::vector<Variant> every;
    std::vector<std::string> pairs;
    for (int i = 100; i < 300; ++i) {
        every.emplace_back(std::to_string(i));
        if (i % 3 != 0)
            pairs.push_back(std::to_string(i));
    }
    const std::string scattered = sortedAs(every).condition(orderOf(pairs), 0, pairs.size());
    EXPECT_EQ(scattered.rfind("mapunit.mukey IN ('100','101','103',", 0), 0u) << scattered;
    const std::vector<std::string> few(pairs.begin(), pairs.begin() + 60);
    EXPECT_EQ(sortedAs(every).condition(orderOf(few), 0, few.size()).find(" IN "), std::string::npos);
}

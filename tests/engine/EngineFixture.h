#pragma once

#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/Variant.h"
#include "quillon/ado/DataSources.h"
#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qln::test {

// Rules and soils databases built per test: one survey area, the relationship metadata of
// the soils layout, and whatever map units, components and horizons the test adds.
class EngineFixture : public ::testing::Test {
public:
    // A UserData record: the defaults a viewer gives unused controls, then the overrides.
    static ado::Recordset userData(const std::map<std::string, Variant>& overrides);

protected:
    TempFolder temp;
    std::filesystem::path rules = temp / "rules.sqlite";
    std::filesystem::path soils = temp / "soils.sqlite";
    std::unique_ptr<engine::clsQuillon> ownEngine = engine::createQuillon();
    engine::clsQuillon& engine = *ownEngine;

    void SetUp() override;

    // Adds an Attributes row: the given columns over defaults for a component attribute.
    void addAttribute(const std::map<std::string, std::string>& columns);
    void soilsSql(const std::string& sql) { runSql(soils, sql); }
    void rulesSql(const std::string& sql) { runSql(rules, sql); }

    // The soils file's connection string; under quillon_add_server_run (QUILLON_TEST_SERVER
    // set) a schema on the test server freshly loaded from the file, so that every test
    // reads the same data from the server.
    std::string soilsConnect() const;
    // Whether soilsConnect() names the test server.
    static bool onServer() { return std::getenv("QUILLON_TEST_SERVER") != nullptr; }

    // A map-unit record set of these keys, with their symbols looked up in the soils file.
    ado::Recordset mapunits(const std::vector<std::string>& keys);

    // Runs the engine and returns key -> rating of every stored row.
    std::map<std::string, Variant> rate(const std::map<std::string, Variant>& overrides,
                                        const std::vector<std::string>& keys);
    ado::Recordset lastResults;
};

// Values that differ by less than a millionth are the same rating.
inline bool sameNumber(const Variant& value, double expected)
{
    const auto number = value.number();
    return number && std::abs(*number - expected) < 1e-6;
}

} // namespace qln::test

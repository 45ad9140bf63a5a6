// clsReporter as programs use it: registered, created by ProgID, over the real component
// and catalogs.

#include "../support/LoadedLibrary.h"

#include "quillon/Error.h"
#include "quillon/components/Components.h"
#include "quillon/registry/Registry.h"
#include "quillon/reporting/clsReporter.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace qln::reporting;
using qln::test::LoadedLibrary;

class ReporterComponent : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(library.call("DllRegisterServer"), 0);
        ASSERT_EQ(LoadedLibrary(AMBMESSAGES_LIBRARY).call("DllRegisterServer"), 0);
        ASSERT_EQ(LoadedLibrary(AMBCATEGORIES_LIBRARY).call("DllRegisterServer"), 0);
    }

    std::vector<std::string> logLines() const
    {
        std::ifstream in(folder / "state" / "quillon" / "AMBApps2.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    qln::test::TempFolder folder;
    LoadedLibrary library{MSGREPORTER_LIBRARY};
};

} // namespace

TEST_F(ReporterComponent, RegistrationEntersTheProgIdWithLibraryAndFactory)
{
    const qln::registry::Store store(folder / "registry");
    const auto path = store.getValue(qln::registry::Hive::ClassesRoot, kReporterProgId, "Library");
    const auto factory = store.getValue(qln::registry::Hive::ClassesRoot, kReporterProgId, "Factory");
    ASSERT_TRUE(path && factory);
    EXPECT_TRUE(std::filesystem::equivalent(path->text, MSGREPORTER_LIBRARY));
    EXPECT_EQ(factory->text, "CreateClsReporter");

    EXPECT_EQ(library.call("DllUnregisterServer"), 0);
    EXPECT_FALSE(store.keyExists(qln::registry::Hive::ClassesRoot, kReporterProgId));
    EXPECT_EQ(library.call("DllUnregisterServer"), 0);
}

TEST_F(ReporterComponent, ACreatedReporterFormatsAndRecordsThroughTheComponent)
{
    const auto reporter = qln::components::create<clsReporter>(kReporterProgId);
    ASSERT_TRUE(reporter->cInitReporting("AMBApps", 2, 14, qln::Variant(true)));
    reporter->cSetLogLevel(FATAL_ERR_WARN);
    reporter->cReportMsg(gmrERR, gmrDISP, "GetRegistrySettings", 402, 0, {"EnableQLNDialog"});
    reporter->cReportMsg(gmrINFO, gmrLOG, "Proc", 1, 0, {"below the log level"});
    reporter->cReportMsg(gmrERR, gmrLOG, "Main", 203, 53, {"Fatal", "Unable to locate a DLL"});

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(
        " | Quillon | " + std::string(program_invocation_short_name) + "[" + std::to_string(getpid()) +
        "] | GetRegistrySettings | 402 | 0 | Unable to query the registry for EnableQLNDialog."))
        << lines[0];
    EXPECT_TRUE(lines[1].ends_with(" | Main | 203 | 53 | Fatal System Error. Unable to locate a DLL.")) << lines[1];
}

TEST_F(ReporterComponent, CreatingAnUnregisteredClassFailsWith429)
{
    try {
        qln::components::create<clsReporter>("Nobody.clsNothing");
        FAIL() << "created an unregistered class";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), 429);
        EXPECT_NE(error.description().find("Nobody.clsNothing"), std::string::npos);
    }
}

TEST_F(ReporterComponent, ALibraryOrFactoryThatIsGoneFailsWithItsNumber)
{
    qln::components::registerProgId("Test.clsMissingLibrary", folder / "libnothing.so", "Create");
    qln::components::registerProgId("Test.clsMissingFactory", MSGREPORTER_LIBRARY, "NoSuchFactory");
    for (const auto& [progId, number] : {std::pair{"Test.clsMissingLibrary", 48}, {"Test.clsMissingFactory", 453}}) {
        try {
            qln::components::createObject(progId);
            FAIL() << progId;
        } catch (const qln::EngineError& error) {
            EXPECT_EQ(error.number(), number) << progId;
        }
    }
}

// The engine as the viewer reaches it: registered, created by ProgID, never linked by name.

#include "EngineFixture.h"
#include "LoadedLibrary.h"

#include "quillon/Error.h"
#include "quillon/components/Components.h"
#include "quillon/registry/Registry.h"

#include <dlfcn.h>

namespace {

using namespace qln;
using registry::Hive;

class EngineComponent : public test::EngineFixture {
protected:
    // The library that holds the engine, as the process loaded it.
    static std::string enginePath() { return components::libraryPath(reinterpret_cast<const void*>(&engine::createQuillon)).string(); }

    registry::Store store() const { return registry::Store(temp / "registry"); }
};

std::string failureOf(const std::function<void()>& work, std::int64_t& number)
{
    try {
        work();
    } catch (const EngineError& error) {
        number = error.number();
        return error.description();
    }
    return "";
}

} // namespace

TEST_F(EngineComponent, RegisteredEngineIsCreatedByProgIdAndReadsTheRules)
{
    test::LoadedLibrary library(enginePath());
    ASSERT_EQ(library.call("DllRegisterServer"), 0);
    const auto path = store().getValue(Hive::ClassesRoot, engine::kQuillonProgId, "Library");
    const auto factory = store().getValue(Hive::ClassesRoot, engine::kQuillonProgId, "Factory");
    ASSERT_TRUE(path && factory);
    EXPECT_TRUE(std::filesystem::equivalent(path->text, enginePath()));
    EXPECT_EQ(factory->text, "CreateClsQuillon");

    const auto created = components::create<engine::clsQuillon>(engine::kQuillonProgId);
    ASSERT_TRUE(created);
    auto folders = created->GetMainQLNRS("SELECT * FROM Folders ORDER BY FolderSeq");
    ASSERT_FALSE(folders.eof());
    EXPECT_EQ(folders.value("Name").text(), "Soil properties");

    ASSERT_EQ(library.call("DllUnregisterServer"), 0);
    EXPECT_FALSE(store().keyExists(Hive::ClassesRoot, engine::kQuillonProgId));
    EXPECT_EQ(library.call("DllUnregisterServer"), 0);
}

TEST_F(EngineComponent, MissingRegistrationOrLibraryIsAnErrorNamingTheProgId)
{
    std::int64_t number = 0;
    auto description = failureOf([] { components::create<engine::clsQuillon>(engine::kQuillonProgId); }, number);
    EXPECT_EQ(number, 429);
    EXPECT_NE(description.find("QLN2000.clsQuillon"), std::string::npos) << description;

    // Registered, but the library has gone since (an uninstalled or moved build).
    const auto gone = temp / "lib" / "libQLN2000.so";
    components::registerProgId(engine::kQuillonProgId, gone, "CreateClsQuillon");
    description = failureOf([] { components::create<engine::clsQuillon>(engine::kQuillonProgId); }, number);
    EXPECT_EQ(number, 48);
    EXPECT_NE(description.find("QLN2000.clsQuillon"), std::string::npos) << description;
    EXPECT_NE(description.find(gone.string()), std::string::npos) << description;

    // A library without the factory named.
    components::registerProgId(engine::kQuillonProgId, enginePath(), "CreateNothing");
    description = failureOf([] { components::create<engine::clsQuillon>(engine::kQuillonProgId); }, number);
    EXPECT_EQ(number, 453);
    EXPECT_NE(description.find("CreateNothing"), std::string::npos) << description;
}

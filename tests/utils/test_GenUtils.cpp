// clsGenUtils as programs use it: registered, created by ProgID, over the real ambutil.

#include "UtilsTest.h"

#include "quillon/components/Components.h"
#include "quillon/reporter/Display.h"
#include "quillon/utils/clsGenUtils.h"

#include <filesystem>
#include <fstream>
#include <memory>

using namespace qln::utils;
using qln::test::LoadedLibrary;

namespace {

// Records what the Reporter would show, answering with the first button.
class Screen : public qln::reporter::DisplayHandler {
public:
    void show(const qln::reporter::Notice&) override {}
    std::int32_t ask(const qln::reporter::Question& question) override
    {
        questions.push_back(question);
        return qln::reporter::defaultAnswer(question.buttons);
    }
    std::vector<qln::reporter::Question> questions;
};

class GenUtils : public qln::test::UtilsTest {
protected:
    void SetUp() override
    {
        UtilsTest::SetUp();
        ASSERT_EQ(library.call("DllRegisterServer"), 0);
        utils = qln::components::create<clsGenUtils>(kGenUtilsProgId);
    }
    void TearDown() override { qln::reporter::setDisplayHandler(nullptr); }

    // Reporting with a display, whose boxes the test sees.
    std::shared_ptr<Screen> showOnScreen()
    {
        auto screen = std::make_shared<Screen>();
        EXPECT_EQ(InitMsgReportingVers("AMBApps", 2, 14), 1);
        qln::reporter::setDisplayHandler(screen);
        return screen;
    }

    LoadedLibrary library{GENUTIL_LIBRARY};
    std::unique_ptr<clsGenUtils> utils;
};

} // namespace

TEST_F(GenUtils, TokensAreCountedFromOneAndThePastTheEndOneIsTheLast)
{
    EXPECT_EQ(utils->cGetToken("a,b,c", ",", 1), "a");
    EXPECT_EQ(utils->cGetToken("a,b,c", ",", 2), "b");
    EXPECT_EQ(utils->cGetToken("a,b,c", ",", 3), "c");
    EXPECT_EQ(utils->cGetToken("a,b,c", ",", 4), "c");
    EXPECT_EQ(utils->cGetToken("a,b,c", ",", 0), "");
    EXPECT_EQ(utils->cGetToken("a,b,c", ",", -1), "");
    EXPECT_EQ(utils->cGetToken("abc", ",", 1), "");
    EXPECT_EQ(utils->cGetToken("a,,c", ",", 2), "");
    EXPECT_EQ(utils->cGetToken("one<>two<>three", "<>", 2), "two");
    EXPECT_EQ(utils->cGetToken("aXbxc", "x", 1), "aXb");
}

TEST_F(GenUtils, TextsAreReadBySizeAndAFailedReadLeavesTheResult)
{
    ASSERT_EQ(utils->cPutRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Path", "/opt/quillon"), 1);
    ASSERT_EQ(utils->cPutRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Empty", ""), 1);
    std::int32_t size = 0;
    EXPECT_EQ(utils->cGetRegistrySize(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Path", size), 1);
    EXPECT_EQ(size, 13);
    std::string text = "old";
    EXPECT_EQ(utils->cGetRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Path", text), 1);
    EXPECT_EQ(text, "/opt/quillon");
    EXPECT_EQ(utils->cGetRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Empty", text), 1);
    EXPECT_EQ(text, "");

    text = "old";
    EXPECT_EQ(utils->cGetRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Missing", text), 0);
    EXPECT_EQ(text, "old");
}

TEST_F(GenUtils, TheHelpPathComesFromTheAmbrelKey)
{
    EXPECT_EQ(utils->cGetHelpPath(), "");
    ASSERT_EQ(utils->cPutRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvaro\\Ambrel", "VBHelpPath", "/usr/share/help"), 1);
    EXPECT_EQ(utils->cGetHelpPath(), "/usr/share/help");
}

TEST_F(GenUtils, UuidTextsHave36CharactersAndTheOldCallOnlyShowsABox)
{
    EXPECT_EQ(utils->cGenerateUUIDStr().size(), 36u);

    const auto screen = showOnScreen();
    std::string buffer = "unchanged";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    EXPECT_EQ(utils->cGenerateUUID(buffer, 80), 0);
#pragma GCC diagnostic pop
    EXPECT_EQ(buffer, "unchanged");
    ASSERT_EQ(screen->questions.size(), 1u);
    EXPECT_EQ(screen->questions[0].buttons, 0);
    EXPECT_EQ(screen->questions[0].text, "THIS IS A NON-SUPPORTED FUNCTION. DO NOT CALL IT!");
}

TEST_F(GenUtils, ShortNamesAreTheNamesOfFilesThatExist)
{
    const auto file = folder / "Soil Survey Report.docx";
    std::ofstream(file) << "x";
    EXPECT_EQ(utils->cShortFilename(file.string()), "Soil Survey Report.docx");
    EXPECT_EQ(utils->cShortFilename((folder / "missing.docx").string()), "");
    EXPECT_EQ(utils->cShortFilename(folder.path().string()), "");
    EXPECT_EQ(utils->cShortFilename(""), "");
}

TEST_F(GenUtils, WithoutAmbutilBesideItEveryCallReportsAFatalMissingLibrary)
{
    // A copy of genutil alone in a folder finds no ambutil beside it.
    const auto alone = folder / "libgenutil.so";
    std::filesystem::copy_file(GENUTIL_LIBRARY, alone);
    const LoadedLibrary copy(alone.string());
    const std::unique_ptr<clsGenUtils> orphan(
        static_cast<clsGenUtils*>(reinterpret_cast<void* (*)()>(copy.symbol("CreateClsGenUtils"))()));
    const auto screen = showOnScreen();

    std::int32_t number = 5;
    EXPECT_EQ(orphan->cGetRegistryInt(HKEY_LOCAL_MACHINE, "K", "x", number), 0);
    EXPECT_EQ(number, 5);
    EXPECT_EQ(orphan->cGenerateUUIDStr(), "");
    EXPECT_TRUE(wasLogged({"FATAL", "cGetRegistryInt", "203", "53", "Fatal System Error. Unable to locate a DLL."}));
    EXPECT_TRUE(wasLogged({"FATAL", "cGenerateUUIDStr", "203", "53", "Fatal System Error. Unable to locate a DLL."}));
    ASSERT_EQ(screen->questions.size(), 2u);
    EXPECT_EQ(screen->questions[0].title, "WARNING! WARNING! WARNING!");
    // What needs no ambutil still works.
    EXPECT_EQ(orphan->cGetToken("a|b", "|", 2), "b");
}

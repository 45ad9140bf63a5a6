#include "DesktopTest.h"

#include "quillon/desktop/FileDialog.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/desktop/ShortNames.h"

#include <fstream>
#include <thread>

using namespace qln::desktop;

namespace {

// A handler that records what it was asked and answers as told.
class FixedAnswer final : public MessageBoxHandler {
public:
    explicit FixedAnswer(Button answer) : m_answer(answer) {}
    Button show(const MessageBoxRequest& request) override
    {
        ++calls;
        last = request;
        return m_answer;
    }
    int calls = 0;
    MessageBoxRequest last;

private:
    Button m_answer;
};

} // namespace

TEST(MessageBox, SeamAnswersInOrderThenWithTheDefaultButtonAndRecordsEveryBox)
{
    MessageBoxSeam seam;
    seam.answer(Button::No);
    seam.answer(Button::Retry);
    EXPECT_EQ(messageBox({"Replace the results?", "Quillon", Buttons::YesNo, Icon::Question}), Button::No);
    EXPECT_EQ(messageBox({"Try again?", "Quillon", Buttons::RetryCancel, Icon::Exclamation}), Button::Retry);
    EXPECT_EQ(messageBox({"Go on?", "Quillon", Buttons::YesNoCancel, Icon::Question, 1}), Button::No);
    EXPECT_EQ(messageBox({"Quillon is already running.", "Quillon", Buttons::Ok, Icon::Critical}), Button::Ok);
    EXPECT_EQ(seam.pendingAnswers(), 0u);

    const auto shown = seam.shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[3].text, "Quillon is already running.");
    EXPECT_EQ(shown[3].title, "Quillon");
    EXPECT_EQ(shown[3].icon, Icon::Critical);
    EXPECT_THROW(MessageBoxSeam second, std::logic_error);
}

TEST(MessageBox, AnswerOutsideTheBoxsButtonsBecomesItsDefault)
{
    {
        MessageBoxSeam seam;
        seam.answer(Button::Yes);
        EXPECT_EQ(messageBox({"Done.", "Quillon", Buttons::OkCancel, Icon::None, 1}), Button::Cancel);
    }
    auto handler = std::make_shared<FixedAnswer>(Button::Abort);
    setMessageBoxHandler(handler);
    EXPECT_EQ(messageBox({"Save?", "Quillon", Buttons::YesNo}), Button::Yes);
    setMessageBoxHandler(nullptr);
}

TEST(MessageBox, InstalledHandlerShowsBoxesUnlessASeamIsActive)
{
    auto handler = std::make_shared<FixedAnswer>(Button::No);
    setMessageBoxHandler(handler);
    EXPECT_EQ(messageBox({"Delete?", "Quillon", Buttons::YesNo}), Button::No);
    EXPECT_EQ(handler->calls, 1);
    EXPECT_EQ(handler->last.text, "Delete?");
    {
        MessageBoxSeam seam;
        EXPECT_EQ(messageBox({"Delete?", "Quillon", Buttons::YesNo}), Button::Yes);
        EXPECT_EQ(handler->calls, 1);
    }
    setMessageBoxHandler(nullptr);
    // The default handler answers with the default button (and writes to standard error).
    EXPECT_EQ(messageBox({"Continue?", "Quillon", Buttons::AbortRetryIgnore, Icon::None, 2}), Button::Ignore);
    EXPECT_EQ(messageBox({"Continue?", "Quillon", Buttons::AbortRetryIgnore, Icon::None, 7}), Button::Abort);
}

TEST(MessageBox, BoxesFromSeveralThreadsAreAllAnswered)
{
    MessageBoxSeam seam;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i) messageBox({"x", "y", Buttons::OkCancel});
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(seam.shown().size(), 200u);
}

TEST(FileDialog, FilterTextSplitsIntoDescriptionsAndPatterns)
{
    const auto filters = parseFilter("Microsoft Access file (*.mdb)|*.mdb");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].description, "Microsoft Access file (*.mdb)");
    EXPECT_EQ(filters[0].patterns, std::vector<std::string>{"*.mdb"});

    const auto several = parseFilter("Databases|*.mdb;*.sqlite|All files|*|dangling");
    ASSERT_EQ(several.size(), 2u);
    EXPECT_EQ(several[0].patterns, (std::vector<std::string>{"*.mdb", "*.sqlite"}));
    EXPECT_EQ(several[1].description, "All files");
    EXPECT_TRUE(parseFilter("").empty());
}

TEST_F(DesktopTest, ChosenFileGivesItsFolderWithTrailingSeparatorAndItsName)
{
    const auto file = temp() / "soils.mdb";
    std::ofstream(file) << "x";
    FileDialogSeam seam;
    seam.choose(file);
    OpenFileRequest request{"Select a soils database", temp().path(), parseFilter("Access (*.mdb)|*.mdb")};
    const auto choice = openFile(request);
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->fileName, "soils.mdb");
    EXPECT_EQ(choice->folder, temp().path().string() + "/");
    EXPECT_EQ(choice->path, file);
    ASSERT_EQ(seam.requests().size(), 1u);
    EXPECT_EQ(seam.requests()[0].initialFolder, temp().path());

    EXPECT_EQ(makeChoice("/data/soils.mdb").folder, "/data/");
    EXPECT_EQ(makeChoice("/soils.mdb").folder, "/");
}

TEST_F(DesktopTest, CancelOrAMissingFileIsNothingChosen)
{
    FileDialogSeam seam;
    seam.cancel();
    seam.choose(temp() / "gone.mdb");
    seam.choose(temp().path());  // a folder is no file
    OpenFileRequest request;
    EXPECT_FALSE(openFile(request));
    EXPECT_FALSE(openFile(request));
    EXPECT_FALSE(openFile(request));
    EXPECT_FALSE(openFile(request));  // queue empty: cancelled
    EXPECT_EQ(seam.requests().size(), 4u);
}

TEST(FileDialog, WithoutADisplayNothingIsChosen)
{
    EXPECT_FALSE(openFile(OpenFileRequest{}));
}

TEST_F(DesktopTest, ShortNamesAreTheNamesThemselves)
{
    const auto file = temp() / "a long soils name.mdb";
    std::ofstream(file) << "x";
    const auto name = shortFileName(file);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->path, file.string());
    EXPECT_EQ(name->name, "a long soils name.mdb");

    // A relative path comes back whole, as the file system object answers.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(temp().path());
    const auto relative = shortFileName("./a long soils name.mdb");
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->path, file.string());

    EXPECT_FALSE(shortFileName(temp() / "no such folder" / "missing.mdb"));
    EXPECT_FALSE(shortFileName(temp() / "missing.mdb"));
    EXPECT_FALSE(shortFileName(temp().path()));
    EXPECT_FALSE(shortFileName(""));
}

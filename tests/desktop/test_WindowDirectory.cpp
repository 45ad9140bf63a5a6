#include "DesktopTest.h"

#include "quillon/desktop/Folders.h"
#include "quillon/desktop/InstanceLock.h"
#include "quillon/desktop/WindowDirectory.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace qln::desktop;

namespace {

std::optional<WindowInfo> findTitle(const std::string& title)
{
    for (auto& window : topLevelWindows())
        if (window.title == title) return window;
    return std::nullopt;
}

// A child process that publishes a window, reports that it did through a pipe, and then
// waits to be killed.
class PublishingChild {
public:
    explicit PublishingChild(const std::string& title)
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            PublishedWindow window(title, true);
            const char ready = 'r';
            if (::write(fds[1], &ready, 1) != 1) ::_exit(1);
            ::pause();
            ::_exit(0);
        }
        ::close(fds[1]);
        char ready = 0;
        EXPECT_EQ(::read(fds[0], &ready, 1), 1);
        ::close(fds[0]);
    }
    // Kills the child without letting it clean up, as a crash would.
    void kill()
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    ~PublishingChild()
    {
        if (m_pid > 0) kill();
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

} // namespace

TEST_F(DesktopTest, PublishedWindowIsListedUpdatedAndRemoved)
{
    {
        PublishedWindow window("Quillon", false);
        auto found = findTitle("Quillon");
        ASSERT_TRUE(found);
        EXPECT_FALSE(found->visible);
        EXPECT_EQ(found->process, ::getpid());
        EXPECT_EQ(found->id, window.id());

        window.update("Quillon - Disabled", true);
        EXPECT_FALSE(findTitle("Quillon"));
        found = findTitle("Quillon - Disabled");
        ASSERT_TRUE(found);
        EXPECT_TRUE(found->visible);
        EXPECT_EQ(found->id, window.id());

        window.setVisible(false);
        EXPECT_FALSE(findTitle("Quillon - Disabled")->visible);
    }
    EXPECT_TRUE(topLevelWindows().empty());
    // Nothing is left in the folder: no entry, no temporary file.
    EXPECT_TRUE(std::filesystem::is_empty(windowDirectory()));
}

TEST_F(DesktopTest, TitlesOfAnyTextSurviveUnchanged)
{
    const std::string odd = "title 7\nvisible 1\n  Quillon \xC3\xA9 (2)  ";
    PublishedWindow window(odd, true);
    PublishedWindow empty("", false);
    ASSERT_EQ(topLevelWindows().size(), 2u);
    EXPECT_TRUE(findTitle(odd));
    EXPECT_TRUE(findTitle(""));
}

TEST_F(DesktopTest, ListsTheMostRecentlyRaisedFirst)
{
    PublishedWindow first("first");
    PublishedWindow second("second");
    auto windows = topLevelWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].title, "second");
    first.raise();
    windows = topLevelWindows();
    EXPECT_EQ(windows[0].title, "first");
    EXPECT_EQ(windows[1].title, "second");
}

TEST_F(DesktopTest, WindowsOfAnotherLiveProcessAreSeenAndThoseOfAKilledOneAreNot)
{
    PublishedWindow own("ArcView GIS 3.2", true);
    PublishingChild child("ArcView GIS 3.2 - project");
    auto other = findTitle("ArcView GIS 3.2 - project");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->process, child.pid());
    EXPECT_TRUE(other->visible);
    EXPECT_EQ(topLevelWindows().size(), 2u);

    child.kill();  // its entry stays behind, as after a crash
    EXPECT_FALSE(findTitle("ArcView GIS 3.2 - project"));
    EXPECT_EQ(topLevelWindows().size(), 1u);
    // and the stale file has been swept away
    const auto files = std::distance(std::filesystem::directory_iterator(windowDirectory()),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(files, 1);
}

TEST_F(DesktopTest, EntryOfAReusedProcessNumberIsNotTakenForTheNewProcess)
{
    // An entry claiming this very process but another start time: a dead process whose
    // number was reused by us.
    const auto file = windowDirectory() / (std::to_string(::getpid()) + "-1-1.window");
    std::ofstream(file) << "quillon-window 1\nprocess " << ::getpid()
                        << "\nstarted 1\nstamp 5\nvisible 1\ntitle Quillon";
    EXPECT_FALSE(findTitle("Quillon"));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(DesktopTest, UnreadableEntriesAreSkipped)
{
    PublishedWindow window("good");
    std::ofstream(windowDirectory() / "junk.window") << "not an entry";
    std::ofstream(windowDirectory() / "1-2-3.window") << "quillon-window 1\nprocess x\n";
    std::ofstream(windowDirectory() / "notes.txt") << "something else";
    const auto windows = topLevelWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].title, "good");
}

TEST_F(DesktopTest, ChildAfterForkLeavesTheParentsEntryInPlace)
{
    auto window = std::make_unique<PublishedWindow>("Quillon");
    const pid_t pid = ::fork();
    if (pid == 0) {
        window.reset();  // a forked helper cleaning up what it inherited
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    EXPECT_TRUE(findTitle("Quillon"));
}

TEST_F(DesktopTest, RuntimeFolderOpenToOthersOrALinkIsRefused)
{
    const auto open = runtime() / "quillon-desktop";
    std::filesystem::create_directory(open);
    std::filesystem::permissions(open, std::filesystem::perms::all);
    try {
        privateRuntimeFolder("quillon-desktop");
        FAIL() << "an open folder was accepted";
    } catch (const DesktopError& error) {
        EXPECT_NE(std::string(error.what()).find(open.string()), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("open to other users"), std::string::npos);
    }
    std::filesystem::remove(open);
    std::filesystem::create_directory_symlink(temp().path(), open);
    EXPECT_THROW(privateRuntimeFolder("quillon-desktop"), DesktopError);
    EXPECT_THROW(privateRuntimeFolder("../escape"), DesktopError);
}

TEST_F(DesktopTest, WithoutRuntimeFolderAPrivateFolderInTheTemporaryFolderIsUsed)
{
    ::unsetenv("XDG_RUNTIME_DIR");
    const char* before = std::getenv("TMPDIR");
    const std::optional<std::string> saved = before ? std::optional<std::string>(before) : std::nullopt;
    ::setenv("TMPDIR", temp().path().c_str(), 1);
    const auto folder = privateRuntimeFolder("quillon-desktop");
    if (saved)
        ::setenv("TMPDIR", saved->c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_EQ(folder, temp().path() / ("quillon-desktop-" + std::to_string(::getuid())));
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
}

TEST_F(DesktopTest, InstanceLockLetsOneHolderThrough)
{
    auto first = InstanceLock::tryAcquire("quillon");
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::tryAcquire("quillon"));
    EXPECT_TRUE(InstanceLock::tryAcquire("other"));

    // Another process is refused too while the lock is held.
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(InstanceLock::tryAcquire("quillon") ? 1 : 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.reset();
    EXPECT_TRUE(InstanceLock::tryAcquire("quillon"));
}

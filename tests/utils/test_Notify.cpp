// ambutil's change notification: one thread per watch, the callback on that thread, a stop
// that ends every watch before it returns, and nothing left behind once a watch ends.

#include "UtilsTest.h"

#include "quillon/utils/AmbUtil.h"

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

using namespace qln::utils;

namespace {

// The limit only keeps a broken watch from hanging the suite.
constexpr auto kPatience = std::chrono::seconds(30);

// What the calls of one callback saw. The callbacks are plain functions, so each watch of a
// test has a recorder of its own.
class Calls {
public:
    void record()
    {
        const std::lock_guard lock(m_mutex);
        ++m_count;
        m_threads.insert(std::this_thread::get_id());
        m_changed.notify_all();
    }
    bool waitFor(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kPatience, [&] { return m_count >= count; });
    }
    int count()
    {
        const std::lock_guard lock(m_mutex);
        return m_count;
    }
    std::set<std::thread::id> threads()
    {
        const std::lock_guard lock(m_mutex);
        return m_threads;
    }
    void reset()
    {
        const std::lock_guard lock(m_mutex);
        m_count = 0;
        m_threads.clear();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
    std::set<std::thread::id> m_threads;
};

Calls g_a, g_b, g_c;
void onA() { g_a.record(); }
void onB() { g_b.record(); }
void onC() { g_c.record(); }

std::size_t countEntries(const char* folder)
{
    namespace fs = std::filesystem;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}
std::size_t threads() { return countEntries("/proc/self/task"); }
std::size_t descriptors() { return countEntries("/proc/self/fd"); }

// Watch threads end on their own, after the change that ends them has been seen.
bool eventually(const std::function<bool()>& condition)
{
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void put(const char* key, const char* text)
{
    ASSERT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, key, "x", text), 1) << key;
}

class Notify : public qln::test::UtilsTest {
protected:
    void SetUp() override
    {
        UtilsTest::SetUp();
        for (Calls* calls : {&g_a, &g_b, &g_c}) calls->reset();
        // The keys exist before the watches start: creating a sub-key is a change too.
        for (const char* key : {"A\\Sub", "B", "C"}) put(key, "start");
        // A thread sanitizer starts a helper thread with the first thread of the process.
        std::thread([] {}).join();
        threadsBefore = threads();
        descriptorsBefore = descriptors();
    }
    // Every watch still running ends at its next change once the flag is clear.
    void TearDown() override
    {
        StopRegChangeNotifications();
        for (const char* key : {"A\\Sub", "B", "C"}) put(key, "end");
        EXPECT_TRUE(eventually([&] { return threads() == threadsBefore; }));
        UtilsTest::TearDown();
    }

    std::size_t threadsBefore = 0;
    std::size_t descriptorsBefore = 0;
};

} // namespace

TEST_F(Notify, AStopEndsEveryWatchAtOnceAndANewWatchRunsAlone)
{
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "A", 0, onA), 1);
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "B", 0, onB), 1);
    EXPECT_EQ(threads(), threadsBefore + 2);
    put("B", "1");
    ASSERT_TRUE(g_b.waitFor(1));

    // No change is needed to end them: their threads and descriptors are gone on return.
    StopRegChangeNotifications();
    EXPECT_EQ(threads(), threadsBefore);
    EXPECT_EQ(descriptors(), descriptorsBefore);
    put("A\\Sub", "1");
    put("B", "2");

    // The stopped watches are not armed again by a new one.
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "C", 0, onC), 1);
    put("C", "1");
    ASSERT_TRUE(g_c.waitFor(1));
    StopRegChangeNotifications();
    EXPECT_EQ(threads(), threadsBefore);
    EXPECT_EQ(descriptors(), descriptorsBefore);
    EXPECT_EQ(g_a.count(), 0);
    EXPECT_EQ(g_b.count(), 1);
    EXPECT_EQ(g_c.count(), 1);
}

namespace {

std::atomic<bool> g_slowEntered{false}, g_slowLeft{false};
void onSlow()
{
    g_slowEntered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    g_slowLeft = true;
}
void onStopping()
{
    StopRegChangeNotifications();
    g_a.record();
}

} // namespace

TEST_F(Notify, AStopWaitsForARunningCallbackAndMayComeFromOne)
{
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "A", 0, onSlow), 1);
    put("A\\Sub", "1");
    ASSERT_TRUE(eventually([] { return g_slowEntered.load(); }));
    StopRegChangeNotifications();
    EXPECT_TRUE(g_slowLeft);
    EXPECT_EQ(threads(), threadsBefore);

    // A callback cannot wait for its own thread: that watch ends as the callback returns.
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "B", 0, onStopping), 1);
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "C", 0, onC), 1);
    put("B", "1");
    ASSERT_TRUE(g_a.waitFor(1));
    EXPECT_TRUE(eventually([&] { return threads() == threadsBefore; }));
    put("C", "1");
    put("B", "2");
    EXPECT_EQ(g_c.count(), 0);
    EXPECT_EQ(g_a.count(), 1);
}

TEST_F(Notify, AWriterInAnotherProcessWakesTheWatchOncePerChangeOnItsOwnThread)
{
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    // Forked before any watch thread exists, so the child inherits no lock held by one.
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::close(go[1]);
        char token = 0;
        int failures = 0;
        for (int change = 1; ::read(go[0], &token, 1) == 1; ++change)
            failures += PutRegistryString(HKEY_LOCAL_MACHINE, "A\\Sub", "x", std::to_string(change).c_str()) != 1;
        ::_exit(failures);
    }
    ::close(go[0]);
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "A", 0, onA), 1);
    // Each change is made only after the previous one was delivered, so none can merge.
    for (int change = 1; change <= 3; ++change) {
        ASSERT_EQ(::write(go[1], "w", 1), 1);
        ASSERT_TRUE(g_a.waitFor(change)) << "no call after change " << change;
    }
    ::close(go[1]);
    int status = -1;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    StopRegChangeNotifications();
    put("A\\Sub", "after the stop");
    // Ending the watch drains whatever it had seen: no call may follow.
    ASSERT_TRUE(eventually([&] { return threads() == threadsBefore; }));
    EXPECT_EQ(g_a.count(), 3);
    const auto callers = g_a.threads();
    ASSERT_EQ(callers.size(), 1u);
    EXPECT_NE(*callers.begin(), std::this_thread::get_id());
}

TEST_F(Notify, AWatchOfADeletedKeyEnds)
{
    ASSERT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "A", 0, onA), 1);
    ASSERT_EQ(DeleteRegistryKey(HKEY_LOCAL_MACHINE, "A"), 1);
    EXPECT_TRUE(eventually([&] { return threads() == threadsBefore; }));
    EXPECT_EQ(descriptors(), descriptorsBefore);
    EXPECT_TRUE(wasLogged({"ERROR", "RegistryChanged", "1", std::to_string(ENOENT),
                           qln::test::oneLine("Unable to setup the change notification.\nCheck the permissions to "
                                              "be able to receive a NOTIFY on the registry key.")}));
}

TEST_F(Notify, NoWatchStartsWithoutAKeyOrACallback)
{
    EXPECT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "Missing", 0, onA), 0);
    EXPECT_EQ(NotifyChangeKey(HKEY_LOCAL_MACHINE, "A", 0, nullptr), 0);
    EXPECT_EQ(threads(), threadsBefore);
}

#include "quillon/registry/Registry.h"

#include "TempRoot.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace qln::registry;
namespace fs = std::filesystem;

namespace {

constexpr auto LM = Hive::LocalMachine;

// Records what each onChange call saw of the store, so a test can wait until a call has
// seen a given state. A call drains every pending event, so when a test changes the store
// after a call has seen the previous state, only the new change can produce the next call.
class Probe {
public:
    explicit Probe(std::function<std::string()> look) : m_look(std::move(look)) {}

    void onChange()
    {
        const std::string seen = m_look();
        const std::lock_guard lock(m_mutex);
        m_seen = seen;
        ++m_calls;
        m_changed.notify_all();
    }

    // The limit only keeps a broken watcher from hanging the suite.
    bool waitFor(const std::string& state)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_seen == state; });
    }

    int calls()
    {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::function<std::string()> m_look;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_seen;
    int m_calls = 0;
};

std::string valueText(const Store& store, std::string_view key)
{
    const auto value = store.getValue(LM, key, "x");
    return value ? value->text : "<none>";
}

std::size_t countEntries(const char* folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

using WatcherTest = RegistryTest;

TEST_F(WatcherTest, AChangeInASubKeyWakesTheWatcher)
{
    Store store(root());
    store.createKey(LM, "Watched\\Sub\\Deep");
    Probe probe([&] { return valueText(store, "Watched\\Sub\\Deep"); });
    Watcher watcher(store, LM, "Watched", [&] { probe.onChange(); });
    for (const std::string round : {"1", "2", "3"}) {
        store.setString(LM, "Watched\\Sub\\Deep", "x", round);
        EXPECT_TRUE(probe.waitFor(round)) << "no call after write " << round;
    }
}

TEST_F(WatcherTest, SubKeysCreatedAfterTheStartAreWatchedToo)
{
    Store store(root());
    Probe probe([&] { return valueText(store, "Watched\\Later\\Deeper"); });
    // The key does not exist yet: watching it creates it.
    Watcher watcher(store, LM, "Watched", [&] { probe.onChange(); });
    EXPECT_TRUE(store.keyExists(LM, "Watched"));
    for (const std::string round : {"1", "2", "3"}) {
        store.setString(LM, "Watched\\Later\\Deeper", "x", round);
        EXPECT_TRUE(probe.waitFor(round)) << "no call after write " << round;
    }
}

TEST_F(WatcherTest, DeletionsWakeTheWatcher)
{
    Store store(root());
    store.setString(LM, "Watched", "x", "value");
    store.setString(LM, "Watched\\Sub", "x", "value");
    Probe probe([&] {
        return std::to_string(store.valueNames(LM, "Watched").size()) + "/" +
               std::to_string(store.subKeys(LM, "Watched").size());
    });
    Watcher watcher(store, LM, "Watched", [&] { probe.onChange(); });
    store.deleteValue(LM, "Watched", "x");
    EXPECT_TRUE(probe.waitFor("0/1"));
    store.deleteKey(LM, "Watched\\Sub");
    EXPECT_TRUE(probe.waitFor("0/0"));
}

TEST_F(WatcherTest, StopEndsTheThreadAndTheCalls)
{
    Store store(root());
    const std::size_t threadsBefore = countEntries("/proc/self/task");
    const std::size_t descriptorsBefore = countEntries("/proc/self/fd");
    std::atomic<bool> stopped{false};
    std::atomic<bool> calledAfterStop{false};
    Probe probe([&] { return valueText(store, "Watched"); });
    {
        Watcher watcher(store, LM, "Watched", [&] {
            if (stopped) calledAfterStop = true;
            probe.onChange();
        });
        store.setString(LM, "Watched", "x", "before");
        ASSERT_TRUE(probe.waitFor("before"));
        watcher.stop();
        stopped = true;
        EXPECT_EQ(countEntries("/proc/self/task"), threadsBefore);
        store.setString(LM, "Watched", "x", "after");
        store.setString(LM, "Watched\\Sub", "x", "after");
        watcher.stop();
    }
    EXPECT_FALSE(calledAfterStop);
    EXPECT_EQ(countEntries("/proc/self/fd"), descriptorsBefore);
}

TEST_F(WatcherTest, StopMayBeCalledFromTheCallback)
{
    Store store(root());
    std::atomic<Watcher*> self{nullptr};
    Probe probe([&] {
        self.load()->stop();
        return std::string("stopped");
    });
    Watcher watcher(store, LM, "Watched", [&] { probe.onChange(); });
    self = &watcher;
    store.setString(LM, "Watched", "x", "1");
    ASSERT_TRUE(probe.waitFor("stopped"));
    store.setString(LM, "Watched", "x", "2");
    watcher.stop();
    EXPECT_EQ(probe.calls(), 1);
}

TEST_F(WatcherTest, TheCallbackMayDestroyItsWatcher)
{
    Store store(root());
    std::unique_ptr<Watcher> watcher;
    std::mutex mutex;
    std::condition_variable changed;
    bool destroyed = false;
    watcher = std::make_unique<Watcher>(store, LM, "Watched", [&] {
        watcher.reset();
        const std::lock_guard lock(mutex);
        destroyed = true;
        changed.notify_all();
    });
    store.setString(LM, "Watched", "x", "1");
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return destroyed; }));
    EXPECT_EQ(watcher, nullptr);
}

TEST_F(WatcherTest, AnInvalidKeyIsRefused)
{
    Store store(root());
    EXPECT_THROW(Watcher(store, LM, "..\\Outside", [] {}), RegistryError);
}

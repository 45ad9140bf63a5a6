#include "quillon/registry/Registry.h"

#include "TempRoot.h"

#include <functional>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

using namespace qln::registry;

namespace {

constexpr auto LM = Hive::LocalMachine;
constexpr int kRounds = 600;

// A text whose length and letter both follow from the round, so a torn or mixed read shows.
std::string textFor(int round)
{
    return std::string(100 + round % 800, static_cast<char>('a' + round % 26));
}

bool isWhole(const std::string& text)
{
    const int round = static_cast<int>(text.size()) - 100;
    return round >= 0 && text == textFor(round);
}

// A forked process running `work` once it may start; finish() says whether it succeeded.
class Child {
public:
    explicit Child(const std::function<void()>& work)
    {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            int status = 0;
            try {
                const char ready = 1;
                if (::write(fds[1], &ready, 1) != 1) ::_exit(2);
                work();
            } catch (const std::exception& error) {
                std::cerr << "child: " << error.what() << std::endl;
                status = 1;
            }
            ::_exit(status);
        }
        ::close(fds[1]);
        char ready = 0;
        // Wait until the child runs, so that both sides overlap.
        [[maybe_unused]] const ssize_t n = ::read(fds[0], &ready, 1);
        ::close(fds[0]);
    }
    ~Child() { finish(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool finish()
    {
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            m_pid = -1;
        }
        return m_ok;
    }

private:
    pid_t m_pid = -1;
    bool m_ok = false;
};

} // namespace

using StoreConcurrency = RegistryTest;

TEST_F(StoreConcurrency, TwoProcessesShareOneRoot)
{
    Store store(root());
    Child child([&] {
        for (int round = 0; round < kRounds; ++round) {
            store.setString(LM, "Shared\\Values", "v" + std::to_string(round % 8), textFor(round));
            store.setDWord(LM, "Shared\\Values", "n" + std::to_string(round % 8), static_cast<std::uint32_t>(round));
            store.createKey(LM, "Shared\\Keys\\K" + std::to_string(round % 40));
            store.setString(LM, "Churn\\Sub" + std::to_string(round % 3), "v", textFor(round));
        }
    });

    for (int round = 0; round < kRounds; ++round) {
        store.setString(LM, "shared\\values", "p" + std::to_string(round % 8), textFor(round));
        store.createKey(LM, "Shared\\Keys\\K" + std::to_string(round % 40));
        // Deleting a key the other process keeps writing into must neither fail nor stop it.
        if (round % 10 == 0) store.deleteKey(LM, "Churn");
        for (const std::string& name : store.valueNames(LM, "Shared\\Values")) {
            const auto value = store.getValue(LM, "Shared\\Values", name);
            if (!value) continue;
            if (value->type == ValueType::DWord)
                EXPECT_LT(value->number, static_cast<std::uint32_t>(kRounds)) << name;
            else
                EXPECT_TRUE(isWhole(value->text)) << name << " was read torn";
        }
    }
    ASSERT_TRUE(child.finish()) << "the child process failed (see its message above)";

    const auto names = store.valueNames(LM, "Shared\\Values");
    EXPECT_EQ(names.size(), 24u);
    EXPECT_EQ(store.subKeys(LM, "Shared\\Keys").size(), 40u);
    for (const std::string& name : names)
        EXPECT_TRUE(name[0] == 'n' || isWhole(store.getValue(LM, "Shared\\Values", name)->text)) << name;
}

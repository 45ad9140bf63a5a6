// Conversations between a server and its clients: bytes unchanged, replies and refusals,
// peers of another user, servers that vanish or never answer.
#include "quillon/dde/Dde.h"

#include "../support/DdeFolder.h"
#include "../support/RawPeer.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

using namespace qln::dde;
using namespace std::chrono_literals;

namespace {

// A private conversation folder per test.
class DdeTest : public ::testing::Test {
protected:
    DdeTest()
    {
        qln::test::usePrivateDdeFolder(m_temp);
    }
    qln::test::TempFolder m_temp;
};

// Runs a server on a thread of its own until the test ends.
class Serving {
public:
    explicit Serving(Server& server)
        : m_thread([this, &server] {
            while (!m_stop)
                server.serveFor(20ms);
        })
    {
    }
    ~Serving()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

} // namespace

TEST_F(DdeTest, CommandsArriveUnchangedAndAreAnsweredInOrder)
{
    std::vector<std::string> seen;
    Server server("ArcView", "System", [&](const std::string& command) {
        seen.push_back(command);
        if (command == "bad")
            return Reply::refuse("column \"x|y\" is not in MU_Data");
        return Reply::ack();
    });
    const std::string binary("a\0b\xff\n|\"'", 9);
    const std::string big(3u << 20, 'q');
    {
        Serving serving(server);
        Conversation conversation("arcview", "SYSTEM");  // names compare without case
        EXPECT_TRUE(conversation.execute("av.run(\"Quillon.InterpsCleanup\", \"\" )").accepted);
        EXPECT_TRUE(conversation.execute(binary).accepted);
        EXPECT_TRUE(conversation.execute("").accepted);
        EXPECT_TRUE(conversation.execute(big).accepted);
        const Reply refused = conversation.execute("bad");
        EXPECT_FALSE(refused.accepted);
        EXPECT_EQ(refused.reason, "column \"x|y\" is not in MU_Data");
    }
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], "av.run(\"Quillon.InterpsCleanup\", \"\" )");
    EXPECT_EQ(seen[1], binary);
    EXPECT_EQ(seen[2], "");
    EXPECT_EQ(seen[3], big);
}

TEST_F(DdeTest, OneServerPerNameAndStaleSocketsTakenOver)
{
    {
        Server first("Quillon", "messageToVB", [](const std::string&) { return Reply::ack(); });
        try {
            Server second("QUILLON", "messagetovb", [](const std::string&) { return Reply::ack(); });
            FAIL() << "a second server was allowed";
        } catch (const DdeError& e) {
            EXPECT_NE(std::string(e.what()).find("already serves QUILLON|messagetovb"), std::string::npos) << e.what();
        }
    }
    // A socket file whose server died without removing it.
    const auto path = socketPath("Quillon", "messageToVB");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_NO_THROW(Server("Quillon", "messageToVB", [](const std::string&) { return Reply::ack(); }));
    EXPECT_FALSE(std::filesystem::exists(path)) << "the server removes its socket when it ends";
}

TEST_F(DdeTest, ErrorsNameTheConversation)
{
    try {
        Conversation conversation("ArcView", "System");
        FAIL() << "connected to nobody";
    } catch (const DdeError& e) {
        EXPECT_NE(std::string(e.what()).find("No program serves ArcView|System"), std::string::npos) << e.what();
    }
    std::filesystem::permissions(m_temp / "dde", std::filesystem::perms::group_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    EXPECT_THROW(socketPath("ArcView", "System"), DdeError) << "a folder open to others is not used";
}

TEST_F(DdeTest, VanishedServerGivesAClearErrorNotAHang)
{
    const pid_t child = ::fork();
    if (child == 0) {
        Server server("ArcView", "System", [](const std::string&) -> Reply { ::_exit(0); });
        server.serveFor(10s);
        ::_exit(1);
    }
    // Wait for the child's socket to appear.
    std::unique_ptr<Conversation> conversation;
    for (int i = 0; i < 200 && !conversation; ++i) {
        try {
            conversation = std::make_unique<Conversation>("ArcView", "System", 2000ms);
        } catch (const DdeError&) {
            std::this_thread::sleep_for(10ms);
        }
    }
    ASSERT_TRUE(conversation);
    const auto start = std::chrono::steady_clock::now();
    try {
        conversation->execute("av.run(\"Quillon.InterpsCleanup\", \"\" )");
        FAIL() << "a server that died answered";
    } catch (const DdeError& e) {
        EXPECT_NE(std::string(e.what()).find("ArcView|System closed the conversation"), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_FALSE(conversation->isOpen());
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST_F(DdeTest, SilentServerTimesOut)
{
    // Listens but never serves: the conversation connects, the command gets no answer.
    const auto path = socketPath("ArcView", "System");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    Conversation conversation("ArcView", "System", 300ms);
    const auto start = std::chrono::steady_clock::now();
    try {
        conversation.execute("SETFOCUS");
        FAIL() << "no time-out";
    } catch (const DdeError& e) {
        EXPECT_STREQ(e.what(), "No answer from ArcView|System within 300 ms");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3000ms);
    ::close(fd);
}

TEST_F(DdeTest, PeerOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a peer as another user id (this test runs as uid " << ::geteuid() << ")";
    Server server("ArcView", "System", [](const std::string&) { return Reply::ack(); });
    const auto path = socketPath("ArcView", "System");
    // Let the other user reach the socket at all, so that only the peer check stands in the way.
    ::chmod((m_temp / "dde").c_str(), 0711);
    ::chmod(m_temp.path().c_str(), 0711);
    ::chmod(path.c_str(), 0777);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            ::_exit(4);
        const char frame[] = {0, 0, 0, 4, 'E', 'X', 'I', 'T'};
        (void)::send(fd, frame, sizeof frame, MSG_NOSIGNAL);
        char reply[256] = {};
        std::size_t got = 0;
        for (ssize_t n; (n = ::recv(fd, reply + got, sizeof reply - 1 - got, 0)) > 0;)
            got += static_cast<std::size_t>(n);
        const bool refused = got > 5 && reply[4] == 'R' && std::strstr(reply + 5, "Conversation refused") != nullptr &&
                             std::strstr(reply + 5, "user id 65534") != nullptr;
        ::_exit(refused ? 0 : 5);
    }
    int status = -1;
    for (int i = 0; i < 300 && ::waitpid(child, &status, WNOHANG) == 0; ++i)
        server.serveFor(10ms);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3/4: the child could not set up, 5: it was not refused";
    EXPECT_EQ(server.refusedPeers(), 1);
}

TEST_F(DdeTest, OversizedCommandsAreRefusedAtOnceAndNeverEchoedWhole)
{
    Server server("ArcView", "System", [](const std::string& command) { return Reply::refuse("unknown: " + command); });
    Serving serving(server);

    // Only the length of a 16 MiB frame is sent: the refusal must not wait for the rest.
    const int fd = qln::test::rawPeer("ArcView", "System");
    ASSERT_GE(fd, 0);
    const char header[] = {0x01, 0x00, 0x00, 0x00};
    ASSERT_EQ(::send(fd, header, sizeof header, MSG_NOSIGNAL), 4);
    char reply[512] = {};
    std::size_t got = 0;
    for (ssize_t n; got < sizeof reply - 1 && (n = ::recv(fd, reply + got, sizeof reply - 1 - got, 0)) > 0;)
        got += static_cast<std::size_t>(n);
    ::close(fd);
    ASSERT_GT(got, 5u) << "no refusal within 3 s";
    EXPECT_EQ(reply[4], 'R');
    EXPECT_NE(std::strstr(reply + 5, "exceeds the limit"), nullptr) << reply + 5;

    // A command within the limit that the handler quotes comes back cut, not whole.
    Conversation conversation("ArcView", "System");
    const Reply quoted = conversation.execute(std::string(300 * 1024, 'x'));
    EXPECT_FALSE(quoted.accepted);
    EXPECT_LE(quoted.reason.size(), kMaxReasonBytes);
    EXPECT_EQ(quoted.reason.substr(0, 10), "unknown: x");
    EXPECT_THROW(conversation.execute(std::string(kMaxCommandBytes + 1, 'x')), DdeError);
}

TEST_F(DdeTest, ClientsThatFindTheQueueFullWaitTheirTurn)
{
    Server server("ArcView", "System", [](const std::string&) { return Reply::ack(); });
    // More clients than the queue holds connect while the server is not yet taking any.
    constexpr int kClients = 150;
    std::atomic<int> acknowledged {0};
    std::vector<std::string> failures(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            try {
                Conversation conversation("ArcView", "System");
                if (conversation.execute("Quillon.InterpsCleanup").accepted)
                    ++acknowledged;
            } catch (const DdeError& e) {
                failures[static_cast<std::size_t>(i)] = e.what();
            }
        });
    std::this_thread::sleep_for(300ms);
    for (int round = 0; round < 300 && acknowledged < kClients; ++round)
        server.serveFor(10ms);
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(acknowledged, kClients);
    for (const auto& failure : failures)
        EXPECT_EQ(failure, "");
}

// The Qt adapter: commands served on the owner's thread by the event loop, executes that
// never block the caller and report their outcome, in order, as signals.
#include "quillon/dde/QtDde.h"

#include "../support/DdeFolder.h"
#include "../support/EventLoop.h"
#include "../support/RawPeer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

using namespace qln::dde;
using namespace std::chrono_literals;
using qln::test::waitFor;

namespace {

class QtDdeTest : public ::testing::Test {
protected:
    QtDdeTest()
    {
        qln::test::coreApp();
        qln::test::usePrivateDdeFolder(m_temp);
    }
    qln::test::TempFolder m_temp;
};

} // namespace

TEST_F(QtDdeTest, ServesOnTheOwnersThreadAndAnswersInOrder)
{
    std::vector<std::string> served;
    Qt::HANDLE servingThread = nullptr;
    QtServer server("Quillon", "messageToVB", [&](const std::string& command) {
        servingThread = QThread::currentThreadId();
        served.push_back(command);
        return command == "NOPE" ? Reply::refuse("unknown command NOPE") : Reply::ack();
    });
    QtConversation conversation("Quillon", "messageToVB");
    std::vector<std::pair<QByteArray, bool>> outcomes;
    QString reason;
    QObject::connect(&conversation, &QtConversation::executed, [&](QByteArray c, bool accepted, QString why) {
        outcomes.emplace_back(c, accepted);
        if (!accepted)
            reason = why;
    });
    for (const char* c : {"DISABLECONTROLS", "NOPE", "ENABLECONTROLS"})
        conversation.execute(c);
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 3; }));
    EXPECT_EQ(servingThread, QThread::currentThreadId());
    EXPECT_EQ(served, (std::vector<std::string> {"DISABLECONTROLS", "NOPE", "ENABLECONTROLS"}));
    EXPECT_EQ(outcomes[0], std::make_pair(QByteArray("DISABLECONTROLS"), true));
    EXPECT_EQ(outcomes[1], std::make_pair(QByteArray("NOPE"), false));
    EXPECT_EQ(reason, "unknown command NOPE");
    EXPECT_EQ(conversation.pending(), 0);
}

TEST_F(QtDdeTest, FailureOfAGoneServerArrivesAsASignal)
{
    auto server = std::make_unique<QtServer>("ArcView", "System", [](const std::string&) { return Reply::ack(); });
    QtConversation conversation("ArcView", "System", 500ms);
    server.reset();
    QString error;
    QObject::connect(&conversation, &QtConversation::failed, [&](QByteArray, QString e) { error = e; });
    QElapsedTimer timer;
    timer.start();
    conversation.execute("av.run(\"Quillon.InterpsCleanup\", \"\" )");
    EXPECT_LT(timer.elapsed(), 100) << "execute must not wait for the server";
    ASSERT_TRUE(waitFor([&] { return !error.isEmpty(); }));
    EXPECT_TRUE(error.contains("ArcView|System")) << error.toStdString();
}

// Conversations that come and go one after another (the map probes the viewer and sends it
// single commands): each is served, and no closed connection is left watched by the event
// loop, which would warn and could stall a later conversation that reuses its descriptor.
TEST_F(QtDdeTest, ShortConversationsOneAfterAnotherAreAllServedWithoutWatchingClosedOnes)
{
    static std::atomic<int> socketWarnings {0};
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        if (m.contains("QSocketNotifier"))
            ++socketWarnings;
    });
    int served = 0;
    QtServer server("Quillon", "messageToVB", [&](const std::string&) {
        ++served;
        return Reply::ack();
    });
    constexpr int kConversations = 60;
    std::atomic<int> acknowledged {0};
    std::atomic<bool> done {false};
    std::thread client([&] {
        for (int i = 0; i < kConversations; ++i) {
            try {
                Conversation conversation("Quillon", "messageToVB", 2000ms);
                if (conversation.execute("SETFOCUS").accepted)
                    ++acknowledged;
            } catch (const DdeError&) {
            }
        }
        done = true;
    });
    const bool finished = waitFor([&] { return done.load(); }, 60000);
    client.join();
    // Let the event loop see the last closed connection too.
    qln::test::spin(200);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(finished);
    EXPECT_EQ(acknowledged.load(), kConversations);
    EXPECT_EQ(served, kConversations);
    EXPECT_EQ(socketWarnings.load(), 0);
}

TEST_F(QtDdeTest, RepliesGoOutWhileThePeerOnlyReads)
{
    // 400 refusals of 2000 bytes: far more than a socket buffer holds, so most of them can
    // only be written as the peer reads, without its sending anything more.
    const std::string reason(2000, 'r');
    QtServer server("ArcView", "System", [&](const std::string&) { return Reply::refuse(reason); });
    constexpr int kCommands = 400;
    std::atomic<int> replies {-1};
    std::thread peer([&] {
        const int fd = qln::test::rawPeer("ArcView", "System");
        if (fd < 0) {
            replies = -2;
            return;
        }
        std::string commands;
        for (int i = 0; i < kCommands; ++i)
            commands += std::string {0, 0, 0, 4} + "PING";
        (void)::send(fd, commands.data(), commands.size(), MSG_NOSIGNAL);
        const std::size_t expected = static_cast<std::size_t>(kCommands) * (4 + 1 + reason.size());
        std::size_t got = 0;
        char buf[65536];
        for (ssize_t n; got < expected && (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
            got += static_cast<std::size_t>(n);
        ::close(fd);
        replies = static_cast<int>(got / (4 + 1 + reason.size()));
    });
    const bool ended = waitFor([&] { return replies.load() != -1; }, 8000);
    peer.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(replies.load(), kCommands);
}

#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qln::dde {

// A conversation could not be set up or did not complete (no server, time-out, a peer that
// went away, a folder that is not private). The text names the service|topic.
class DdeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The answer to one execute: acknowledged, or refused with the server's reason.
struct Reply {
    bool accepted = true;
    std::string reason;

    static Reply ack() { return {}; }
    static Reply refuse(std::string why) { return {false, std::move(why)}; }
};

// Commands longer than this are refused as soon as their length arrives, rather than
// buffered: the scripts' commands are a few hundred bytes.
inline constexpr std::size_t kMaxCommandBytes = 4u << 20;
// A refusal's reason is cut to this many bytes, so a handler that quotes a long command
// never sends it back whole.
inline constexpr std::size_t kMaxReasonBytes = 2048;
inline constexpr std::chrono::milliseconds kDefaultTimeout{5000};

// The private folder of this user's conversations: QUILLON_DDE_DIR when set, else
// $XDG_RUNTIME_DIR/quillon-dde, else /tmp/quillon-dde-<uid>. Created with mode 0700; throws
// DdeError when it exists but belongs to another user or is open to others.
std::filesystem::path conversationFolder();
// The socket that serves service|topic (names compare without regard to case).
std::filesystem::path socketPath(std::string_view service, std::string_view topic);

// Serves execute commands for one service|topic on the thread that calls poll() or
// serveFor(). Peers of another user id are refused with a reason; each command is passed to
// the handler unchanged and its Reply is sent back.
class Server {
public:
    using Handler = std::function<Reply(const std::string& command)>;

    // Throws DdeError when another live process already serves the pair.
    Server(std::string_view service, std::string_view topic, Handler handler);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    const std::string& name() const { return m_name; }
    // The listening socket and the open conversations, for an event loop to watch.
    std::vector<int> fds() const;
    // The conversations with replies still to send, to watch for room to write: a reply
    // goes out whether or not the peer sends anything more.
    std::vector<int> pendingWrites() const;
    // Accepts waiting peers and serves every complete command that has arrived; never blocks.
    void poll();
    // Serves until the time has passed (for threads and tests of their own).
    void serveFor(std::chrono::milliseconds time);
    // Conversations refused because their peer runs as another user.
    int refusedPeers() const { return m_refused; }

private:
    struct Peer;
    void accept();
    bool serve(Peer& peer);

    std::string m_name;
    std::filesystem::path m_path;
    Handler m_handler;
    int m_listen = -1;
    int m_refused = 0;
    std::vector<std::unique_ptr<Peer>> m_peers;
};

// The client side of one conversation: connect, execute any number of commands, close.
class Conversation {
public:
    // Connects; throws DdeError naming service|topic when nobody serves it. A server whose
    // queue of waiting conversations is full is tried again until the time-out.
    Conversation(std::string_view service, std::string_view topic,
                 std::chrono::milliseconds timeout = kDefaultTimeout);
    ~Conversation();
    Conversation(const Conversation&) = delete;
    Conversation& operator=(const Conversation&) = delete;

    const std::string& name() const { return m_name; }
    // Sends the command and waits for its reply; throws DdeError when the server closes the
    // conversation or does not answer within the time-out. A refusal is a Reply, not an error.
    Reply execute(std::string_view command);
    void close();
    bool isOpen() const { return m_fd >= 0; }

private:
    std::string m_name;
    std::chrono::milliseconds m_timeout;
    int m_fd = -1;
};

} // namespace qln::dde

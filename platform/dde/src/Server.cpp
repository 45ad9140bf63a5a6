#include "quillon/dde/Dde.h"

#include "Framing.h"
#include "Socket.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qln::dde {

namespace {

// Conversations that may wait to be taken while the server is busy; a client that finds
// the queue full tries again (see Conversation).
constexpr int kListenBacklog = 64;

} // namespace

namespace detail {

sockaddr_un address(const std::filesystem::path& path, const std::string& name)
{
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof addr.sun_path)
        throw DdeError("The socket path of " + name + " is too long: " + text);
    std::memcpy(addr.sun_path, text.c_str(), text.size() + 1);
    return addr;
}

long peerUid(int fd)
{
    ucred cred {};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return -1;
    return static_cast<long>(cred.uid);
}

} // namespace detail

struct Server::Peer {
    int fd = -1;
    std::string in;   // bytes received and not yet served
    std::string out;  // replies not yet sent
    bool closing = false;
    ~Peer()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

Server::Server(std::string_view service, std::string_view topic, Handler handler)
    : m_name(std::string(service) + "|" + std::string(topic))
    , m_path(socketPath(service, topic))
    , m_handler(std::move(handler))
{
    const sockaddr_un addr = detail::address(m_path, m_name);
    // A socket file left by a process that died is taken over; a live server is not.
    {
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0)
            ::close(probe);
        if (live)
            throw DdeError("Another program already serves " + m_name);
        ::unlink(m_path.c_str());
    }
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listen < 0)
        throw DdeError("Cannot create the socket of " + m_name + ": " + std::strerror(errno));
    if (::bind(m_listen, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, kListenBacklog) != 0) {
        const int err = errno;
        ::close(m_listen);
        throw DdeError("Cannot serve " + m_name + " at " + m_path.string() + ": " + std::strerror(err));
    }
}

Server::~Server()
{
    m_peers.clear();
    if (m_listen >= 0) {
        ::close(m_listen);
        ::unlink(m_path.c_str());
    }
}

std::vector<int> Server::fds() const
{
    std::vector<int> out {m_listen};
    for (const auto& p : m_peers)
        out.push_back(p->fd);
    return out;
}

std::vector<int> Server::pendingWrites() const
{
    std::vector<int> out;
    for (const auto& p : m_peers)
        if (!p->out.empty())
            out.push_back(p->fd);
    return out;
}

void Server::accept()
{
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto peer = std::make_unique<Peer>();
        peer->fd = fd;
        const long uid = detail::peerUid(fd);
        if (uid != static_cast<long>(::geteuid())) {
            ++m_refused;
            peer->out = detail::frame("RConversation refused: the peer runs as user id " + std::to_string(uid) +
                                      ", not as this user (" + std::to_string(::geteuid()) + ")");
            peer->closing = true;
        }
        m_peers.push_back(std::move(peer));
    }
}

// Reads what has arrived, serves each complete command, writes what it can; false when the
// conversation is over.
bool Server::serve(Peer& peer)
{
    char buf[65536];
    while (!peer.closing) {
        const ssize_t n = ::recv(peer.fd, buf, sizeof buf, 0);
        if (n > 0) {
            peer.in.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false;
        if (errno != EINTR)
            break;
    }
    while (!peer.closing && peer.in.size() >= 4) {
        const std::uint32_t len = detail::frameLength(peer.in.data());
        if (len > kMaxCommandBytes) {
            peer.out += detail::frame("RThe command of " + std::to_string(len) + " bytes exceeds the limit of " +
                                      std::to_string(kMaxCommandBytes) + " bytes");
            peer.closing = true;
            break;
        }
        if (peer.in.size() < 4 + static_cast<std::size_t>(len))
            break;
        const std::string command = peer.in.substr(4, len);
        peer.in.erase(0, 4 + static_cast<std::size_t>(len));
        Reply reply;
        try {
            reply = m_handler(command);
        } catch (const std::exception& e) {
            reply = Reply::refuse(e.what());
        }
        if (reply.reason.size() > kMaxReasonBytes)
            reply.reason = reply.reason.substr(0, kMaxReasonBytes - 3) + "...";
        peer.out += detail::frame((reply.accepted ? "A" : "R") + reply.reason);
    }
    while (!peer.out.empty()) {
        const ssize_t n = ::send(peer.fd, peer.out.data(), peer.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            peer.out.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;  // the rest goes out at the next poll
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
    return !peer.closing;
}

void Server::poll()
{
    accept();
    for (std::size_t i = 0; i < m_peers.size();) {
        if (serve(*m_peers[i]))
            ++i;
        else
            m_peers.erase(m_peers.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void Server::serveFor(std::chrono::milliseconds time)
{
    const auto end = std::chrono::steady_clock::now() + time;
    for (;;) {
        poll();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        std::vector<pollfd> watch;
        for (const int fd : fds())
            watch.push_back({fd, POLLIN, 0});
        for (const int fd : pendingWrites())
            watch.push_back({fd, POLLOUT, 0});
        ::poll(watch.data(), watch.size(), static_cast<int>(std::min<long long>(left.count(), 50)));
    }
}

} // namespace qln::dde

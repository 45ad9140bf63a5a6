#include "quillon/dde/Dde.h"

#include "Framing.h"
#include "Socket.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace qln::dde {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

Conversation::Conversation(std::string_view service, std::string_view topic, std::chrono::milliseconds timeout)
    : m_name(std::string(service) + "|" + std::string(topic))
    , m_timeout(timeout)
{
    const std::filesystem::path path = socketPath(service, topic);
    const sockaddr_un addr = detail::address(path, m_name);
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        throw DdeError("Cannot create a socket for " + m_name + ": " + std::strerror(errno));
    // EAGAIN is a server busy with others (its queue of waiting conversations is full),
    // not a missing one: try again for as long as a reply would be waited for.
    const auto end = Clock::now() + timeout;
    while (::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int err = errno;
        if (err == EAGAIN && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        close();
        if (err == EAGAIN)
            throw DdeError("The server of " + m_name + " did not take the conversation within " +
                           std::to_string(timeout.count()) + " ms (it is busy)");
        throw DdeError("No program serves " + m_name + " (" + std::strerror(err) + ")");
    }
    const long uid = detail::peerUid(m_fd);
    if (uid != static_cast<long>(::geteuid())) {
        close();
        throw DdeError("The server of " + m_name + " runs as user id " + std::to_string(uid) + ", not as this user");
    }
}

Conversation::~Conversation()
{
    close();
}

void Conversation::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Reply Conversation::execute(std::string_view command)
{
    if (m_fd < 0)
        throw DdeError("The conversation with " + m_name + " is closed");
    if (command.size() > kMaxCommandBytes)
        throw DdeError("The command of " + std::to_string(command.size()) + " bytes for " + m_name +
                       " exceeds the limit of " + std::to_string(kMaxCommandBytes) + " bytes");
    const auto end = Clock::now() + m_timeout;
    const auto fail = [&](const std::string& what) -> DdeError {
        close();
        return DdeError(what);
    };
    const auto noAnswer = [&] {
        return fail("No answer from " + m_name + " within " + std::to_string(m_timeout.count()) + " ms");
    };
    const auto gone = [&] { return fail("The server of " + m_name + " closed the conversation"); };

    const std::string out = detail::frame(command);
    std::size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = ::send(m_fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p {m_fd, POLLOUT, 0};
            if (::poll(&p, 1, msLeft(end)) <= 0)
                throw noAnswer();
            continue;
        }
        break;  // the server hung up: a refusal it sent first is still there to read
    }

    // A refusal of the peer itself may arrive before any reply: it reads the same way.
    std::string in;
    std::size_t need = 4;
    bool haveLength = false;
    while (in.size() < need) {
        char buf[4096];
        const ssize_t n = ::recv(m_fd, buf, std::min(sizeof buf, need - in.size()), 0);
        if (n > 0) {
            in.append(buf, static_cast<std::size_t>(n));
            if (!haveLength && in.size() >= 4) {
                haveLength = true;
                const std::uint32_t len = detail::frameLength(in.data());
                if (len < 1 || len > kMaxCommandBytes)
                    throw fail("A malformed reply came from " + m_name);
                need = 4 + len;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p {m_fd, POLLIN, 0};
            const int r = ::poll(&p, 1, msLeft(end));
            if (r == 0)
                throw noAnswer();
            if (r < 0 && errno != EINTR)
                throw gone();
            continue;
        }
        throw gone();
    }
    if (in[4] == 'A')
        return Reply::ack();
    if (in[4] == 'R')
        return Reply::refuse(in.substr(5));
    throw fail("A malformed reply came from " + m_name);
}

} // namespace qln::dde

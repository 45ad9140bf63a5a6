#pragma once

// A peer of a conversation's server that speaks the socket directly, for frames and read
// patterns a Conversation never produces.

#include "quillon/dde/Dde.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace qln::test {

// A socket connected to the server of service|topic whose reads give up after 3 s; -1 when
// no server listens there.
inline int rawPeer(std::string_view service, std::string_view topic)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, dde::socketPath(service, topic).c_str(), sizeof addr.sun_path - 1);
    timeval wait {3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace qln::test

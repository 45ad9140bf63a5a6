#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>
#include <string>

namespace qln::dde::detail {

// The address of a socket file; throws DdeError when the path does not fit.
sockaddr_un address(const std::filesystem::path& path, const std::string& name);
// The user id of the process at the other end of a connected socket, or -1.
long peerUid(int fd);

} // namespace qln::dde::detail

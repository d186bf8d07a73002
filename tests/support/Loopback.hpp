#pragma once

// TCP on 127.0.0.1, the only address the tests talk to.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace zd::testsupport {

// 127.0.0.1:port as a socket address (port 0: the system picks one on bind).
inline sockaddr_in LoopbackAddress(std::uint16_t port) noexcept
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A TCP socket connected to 127.0.0.1:port, for the caller to close; -1 when
// the connection fails.
inline int ConnectLoopback(std::uint16_t port) noexcept
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in address = LoopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace zd::testsupport

#pragma once

// A port on 127.0.0.1 held by a listening socket while the object lives, so
// that a server told to listen there finds the address in use.

#include "Loopback.hpp"

#include <cstdint>
#include <stdexcept>

namespace zd::testsupport {

class BusyPort {
public:
    // Throws std::runtime_error when no loopback socket can be bound and listen.
    BusyPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address = LoopbackAddress(0);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(fd_, 1) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (fd_ >= 0)
                ::close(fd_);
            throw std::runtime_error("cannot hold a loopback port");
        }
        port_ = ntohs(address.sin_port);
    }
    ~BusyPort() { ::close(fd_); }
    BusyPort(const BusyPort&) = delete;
    BusyPort& operator=(const BusyPort&) = delete;

    std::uint16_t Port() const noexcept { return port_; }

private:
    int fd_;
    std::uint16_t port_ = 0;
};

} // namespace zd::testsupport

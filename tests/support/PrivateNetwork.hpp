#pragma once

// Moves the calling process into a network namespace of its own that holds
// only the loopback interface, so nothing a test does can reach another
// machine. Call it before any thread starts (threads made later inherit
// it). Returns false where the machine does not allow it; the caller then
// goes on in the shared namespace (its tests still talk to loopback only).

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace zd::testsupport {

inline bool EnterPrivateNetwork() noexcept
{
    if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    // A new namespace starts with loopback down.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

} // namespace zd::testsupport

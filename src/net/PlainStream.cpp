#include "net/PlainStream.hpp"

#include "common/Error.hpp"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

namespace zd {

namespace {

std::string SystemMessage(int error)
{
    return std::strerror(error);
}

} // namespace

std::size_t PlainStream::ReadSome(std::span<std::byte> out, std::chrono::milliseconds timeout)
{
    if (out.empty())
        return 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw SocketError(SystemMessage(errno));
        }
        if (ready == 0)
            throw ReadTimeoutError();
        const ssize_t got = ::recv(fd_, out.data(), out.size(), 0);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        throw SocketError(SystemMessage(errno));
    }
}

void PlainStream::WriteAll(std::span<const std::byte> data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            throw SocketError(SystemMessage(errno));
        }
        data = data.subspan(static_cast<std::size_t>(sent));
    }
}

} // namespace zd

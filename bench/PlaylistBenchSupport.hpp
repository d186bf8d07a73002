#pragma once

// Loopback TCP connections and a quiet command host for the playlist and
// upload benchmarks.

#include "protocol/CommandHost.hpp"
#include "net/Connection.hpp"

#include "../tests/support/Loopback.hpp"
#include "../tests/support/TempFolder.hpp"

#include <arpa/inet.h>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace zd::bench {

class QuietHost final : public CommandHost {
public:
    void Log(const std::string&) noexcept override {}
    void RunOnMainThread(const std::function<void()>& job) override { job(); }
};

// A connected TCP pair on 127.0.0.1: the accepted side and the client side.
struct LoopbackPair {
    int server = -1;
    int client = -1;

    LoopbackPair()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = zd::testsupport::LoopbackAddress(0);
        socklen_t length = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener, 1) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on loopback");
        client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot connect on loopback");
        server = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~LoopbackPair()
    {
        if (server >= 0)
            ::close(server);
        if (client >= 0)
            ::close(client);
    }
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;

    // The server side as a Connection (which then owns the descriptor).
    std::unique_ptr<Connection> TakeServer()
    {
        auto connection = std::make_unique<Connection>(server);
        server = -1;
        return connection;
    }
};

inline void SendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            throw std::runtime_error("send failed");
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

inline std::string ReceiveLine(int fd)
{
    std::string line;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n')
        line += c;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

inline void ReceiveExactly(int fd, std::string& into, std::size_t count)
{
    into.resize(count);
    std::size_t have = 0;
    while (have < count) {
        const auto got = ::recv(fd, into.data() + have, count - have, 0);
        if (got <= 0)
            throw std::runtime_error("receive failed");
        have += static_cast<std::size_t>(got);
    }
}

class BenchFolder : public testsupport::TempFolder {
public:
    // The folder with a trailing separator, as the commands join names to it.
    std::string Folder() const { return Path().string() + "/"; }
};

} // namespace zd::bench

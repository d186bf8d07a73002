#include "net/Listener.hpp"

#include "common/Error.hpp"
#include "net/Limits.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace zd {

namespace {

// What every accepted connection gets before it is served: keep-alive, so a
// peer that vanished without a word is noticed, and the read time-out.
void PrepareAccepted(Connection& connection) noexcept
{
    const int fd = connection.Fd();
    const int on = 1;
    const int idle = static_cast<int>(limits::kKeepAliveIdle.count());
    const int interval = static_cast<int>(limits::kKeepAliveInterval.count());
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    // A peer that stops taking bytes must not hold its thread: every send
    // gives up after the write time-out without progress.
    const timeval writeTimeout{static_cast<time_t>(limits::kWriteTimeout.count()), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &writeTimeout, sizeof writeTimeout);
    connection.SetReadTimeout(limits::kReadTimeout);
}

std::string DottedAddress(const sockaddr_in& peer)
{
    char text[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text) != nullptr ? text : "";
}

} // namespace

Listener::~Listener()
{
    Stop();
    CloseAll();
    JoinFinished(true);
}

void Listener::Listen(const std::string& address, std::uint16_t port, ServeHandler serve,
                      ErrorHandler onError)
{
    if (listening_)
        return;
    JoinFinished(false);

    sockaddr_in bindTo{};
    bindTo.sin_family = AF_INET;
    bindTo.sin_port = htons(port);
    bindTo.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &bindTo.sin_addr) != 1)
        throw SocketError("Invalid address " + address);

    UniqueFileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        throw SocketError(std::strerror(errno));
    const int fd = socket.Get();
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&bindTo), sizeof bindTo) != 0
        || ::listen(fd, SOMAXCONN) != 0)
        throw SocketError(std::strerror(errno));
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) != 0)
        throw SocketError(std::strerror(errno));
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);

    listen_ = std::move(socket);
    wakeRead_.Reset(wake[0]);
    wakeWrite_.Reset(wake[1]);
    serve_ = std::move(serve);
    onError_ = std::move(onError);
    boundPort_ = ntohs(bound.sin_port);
    listening_ = true;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

void Listener::AcceptLoop()
{
    for (;;) {
        pollfd waiting[2] = {{listen_.Get(), POLLIN, 0}, {wakeRead_.Get(), POLLIN, 0}};
        const int ready = ::poll(waiting, 2, static_cast<int>(limits::kLoginCheckInterval.count()));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            if (onError_)
                onError_(SocketError(std::strerror(errno)));
            return;
        }
        if (waiting[1].revents != 0)
            return;
        const auto now = Clock::now();
        {
            std::lock_guard lock(mutex_);
            CloseLateLogins(now);
        }
        ReportLimited(now);
        if (ready == 0)
            continue;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        UniqueFileDescriptor accepted(
            ::accept4(listen_.Get(), reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC));
        if (!accepted) {
            const int error = errno; // the error handler may change errno
            if (error == EINTR || error == EAGAIN || error == ECONNABORTED)
                continue;
            if (onError_)
                onError_(SocketError(std::strerror(error)));
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) // let some free up
                ::poll(nullptr, 0, static_cast<int>(limits::kAcceptRetryPause.count()));
            continue;
        }
        JoinFinished(false);
        const std::string address = DottedAddress(peer);
        std::unique_lock lock(mutex_);
        if (!Admit(address)) {
            lock.unlock();
            accepted.Close();
            CountLimited(now);
            continue;
        }
        bool added = false;
        try {
            auto& entry = connections_.emplace_back();
            added = true;
            entry.accepted = now;
            entry.address = address;
            entry.connection = std::make_shared<Connection>(std::move(accepted));
            PrepareAccepted(*entry.connection);
            entry.thread = std::thread([this, &entry] {
                try {
                    serve_(entry.connection);
                } catch (...) {
                    // The serve handler reports its own errors.
                }
                entry.connection->Close();
                entry.finished = true;
                if (onEnded_)
                    onEnded_();
            });
        } catch (const std::exception& error) {
            // No thread (or memory) for this connection: refuse it and go on
            // accepting instead of ending the process.
            if (added)
                connections_.pop_back(); // closes the socket once the connection has it
            lock.unlock();
            if (onError_)
                onError_(error);
        }
    }
}

bool Listener::Admit(const std::string& address)
{
    std::size_t open = 0;
    std::size_t pending = 0;
    std::size_t pendingFromPeer = 0;
    Served* oldestPending = nullptr;
    for (Served& entry : connections_) {
        if (entry.finished)
            continue;
        ++open;
        const Connection& connection = *entry.connection;
        if (connection.LoggedIn() || connection.IsClosed())
            continue;
        ++pending;
        pendingFromPeer += entry.address == address ? 1 : 0;
        if (oldestPending == nullptr)
            oldestPending = &entry; // the list is in the order of accepting
    }
    if (open >= limits::kMaxConnections || pendingFromPeer >= limits::kMaxPendingPerAddress)
        return false;
    if (pending >= limits::kMaxPendingConnections && oldestPending != nullptr) {
        oldestPending->connection->Close();
        ++limited_;
    }
    return true;
}

void Listener::CloseLateLogins(Clock::time_point now) noexcept
{
    for (Served& entry : connections_) {
        Connection& connection = *entry.connection;
        if (entry.finished || connection.LoggedIn() || connection.IsClosed())
            continue;
        if (now - entry.accepted >= limits::kLoginTime + connection.LoginGrace())
            connection.Close();
    }
}

void Listener::CountLimited(Clock::time_point now)
{
    ++limited_;
    ReportLimited(now);
}

void Listener::ReportLimited(Clock::time_point now)
{
    if (limited_ == 0 || (lastLimitReport_ != Clock::time_point{} && now - lastLimitReport_ < limits::kLimitReportInterval))
        return;
    const std::size_t count = std::exchange(limited_, 0);
    lastLimitReport_ = now;
    if (onLimit_) {
        try {
            onLimit_(count);
        } catch (...) {
            // a line that cannot be reported is dropped
        }
    }
}

void Listener::Stop() noexcept
{
    if (!listening_)
        return;
    const char stop = 1;
    [[maybe_unused]] const auto written = ::write(wakeWrite_.Get(), &stop, 1);
    if (acceptThread_.joinable())
        acceptThread_.join();
    listen_.Close();
    wakeRead_.Close();
    wakeWrite_.Close();
    boundPort_ = 0;
    listening_ = false;
}

std::size_t Listener::ConnectionCount() const
{
    std::lock_guard lock(mutex_);
    std::size_t open = 0;
    for (const Served& entry : connections_)
        open += entry.finished ? 0 : 1;
    return open;
}

void Listener::CloseAll() noexcept
{
    std::lock_guard lock(mutex_);
    for (Served& entry : connections_)
        entry.connection->Close();
}

bool Listener::JoinFinished(bool wait) noexcept
{
    std::list<Served> ended;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            auto next = std::next(it);
            if (wait || it->finished)
                ended.splice(ended.end(), connections_, it);
            it = next;
        }
    }
    for (Served& entry : ended) {
        if (entry.thread.joinable())
            entry.thread.join();
    }
    std::lock_guard lock(mutex_);
    return connections_.empty();
}

} // namespace zd

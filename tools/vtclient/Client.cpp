#include "Client.hpp"

#include <iostream>

#include "common/Error.hpp"
#include "lib/openssl/TlsContext.hpp"
#include "lib/posix/UniqueFileDescriptor.hpp"
#include "net/TlsStream.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace zd::vtclient {
namespace {

// The plain socket before the switch.
class SocketStream final : public ByteStream {
public:
    explicit SocketStream(int fd) noexcept : fd_(fd) {}
    std::size_t ReadSome(std::span<std::byte> out, std::chrono::milliseconds timeout) override
    {
        pollfd poller{fd_, POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&poller, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0)
            throw ReadTimeoutError();
        const ssize_t n = ready < 0 ? -1 : ::recv(fd_, out.data(), out.size(), 0);
        if (n < 0)
            throw SocketError(std::strerror(errno));
        return static_cast<std::size_t>(n);
    }
    void WriteAll(std::span<const std::byte> data) override
    {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw SocketError(std::strerror(errno));
            done += static_cast<std::size_t>(n);
        }
    }
    bool HasBufferedBytes() const noexcept override { return false; }

private:
    int fd_;
};

zd::UniqueFileDescriptor ConnectTo(const std::string& host, std::uint16_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0)
        throw std::runtime_error("cannot resolve " + host + ": " + ::gai_strerror(status));
    std::string failure = "no address";
    zd::UniqueFileDescriptor fd;
    for (addrinfo* a = found; a != nullptr && !fd; a = a->ai_next) {
        fd.Reset(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (fd && ::connect(fd.Get(), a->ai_addr, a->ai_addrlen) != 0) {
            failure = std::strerror(errno);
            fd.Close();
        }
    }
    ::freeaddrinfo(found);
    if (!fd)
        throw std::runtime_error("cannot connect to " + host + ":" + std::to_string(port) + ": " + failure);
    return fd;
}

} // namespace

struct Client::State {
    LoginOptions options;
    zd::UniqueFileDescriptor fd; // outlives stream, so close_notify goes first
    SslCtxPtr context;
    std::unique_ptr<ByteStream> stream;
    std::string buffer;
    bool tls = false;

    // One read into the buffer; false when the server closed.
    bool Fill(std::chrono::milliseconds timeout)
    {
        char chunk[16384];
        const std::size_t n = stream->ReadSome(std::as_writable_bytes(std::span(chunk)), timeout);
        buffer.append(chunk, n);
        return n > 0;
    }
};

Client::Client(const LoginOptions& options) : state_(std::make_unique<State>())
{
    state_->options = options;
    state_->fd = ConnectTo(options.host, options.port);
    state_->stream = std::make_unique<SocketStream>(state_->fd.Get());
}

Client::~Client() = default;

std::string Client::Login()
{
    WriteLine("Login");
    const std::string greeting = ReadLine();
    if (greeting != "241")
        return greeting;
    WriteLine(state_->options.clientInfo);
    state_->context = MakeClientTlsContext(state_->options.caFile);
    const std::string ahead = std::exchange(state_->buffer, std::string());
    auto tls = std::make_unique<TlsStream>(state_->context.get(), state_->fd.Get(), TlsStream::Role::Client,
                                           std::as_bytes(std::span(ahead)), state_->options.timeout,
                                           state_->options.host);
    if (state_->options.caFile.empty())
        std::cerr << "vtclient: server certificate not verified (use --ca FILE), SHA-256 fingerprint "
                  << tls->PeerFingerprint() << "\n";
    state_->stream = std::move(tls);
    state_->tls = true;
    WriteLine(state_->options.user);
    WriteLine(state_->options.password);
    return ReadLine();
}

void Client::Write(std::string_view bytes)
{
    state_->stream->WriteAll(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

void Client::WriteLine(std::string_view line)
{
    std::string text(line);
    text += "\r\n";
    Write(text);
}

std::string Client::ReadLine()
{
    for (;;) {
        const auto end = state_->buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = state_->buffer.substr(0, end);
            state_->buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (!state_->Fill(state_->options.timeout))
            throw std::runtime_error("the server closed the connection");
    }
}

std::string Client::ReadExact(std::size_t count)
{
    while (state_->buffer.size() < count) {
        if (!state_->Fill(state_->options.timeout))
            throw std::runtime_error("the server closed the connection");
    }
    std::string bytes = state_->buffer.substr(0, count);
    state_->buffer.erase(0, count);
    return bytes;
}

std::string Client::ReadUntilQuiet(std::chrono::milliseconds quiet)
{
    try {
        if (state_->buffer.empty() && !state_->Fill(state_->options.timeout))
            return {};
        while (state_->Fill(quiet)) {
        }
    } catch (const ReadTimeoutError&) {
        // quiet long enough
    }
    return std::exchange(state_->buffer, std::string());
}

std::string Client::ReadSome()
{
    if (state_->buffer.empty())
        state_->Fill(state_->options.timeout);
    return std::exchange(state_->buffer, std::string());
}

void Client::SetTimeout(std::chrono::milliseconds timeout) noexcept
{
    state_->options.timeout = timeout;
}

const LoginOptions& Client::Options() const noexcept
{
    return state_->options;
}

bool Client::IsTls() const noexcept
{
    return state_->tls;
}

namespace {
std::vector<ClientCommand>& Registry()
{
    static std::vector<ClientCommand> commands;
    return commands;
}
} // namespace

RegisterClientCommand::RegisterClientCommand(ClientCommand command)
{
    Registry().push_back(command);
}

const std::vector<ClientCommand>& ClientCommands()
{
    return Registry();
}

} // namespace zd::vtclient

#pragma once

// A test client that speaks the command protocol byte by byte over a
// loopback socket, with OpenSSL used directly for the switch to TLS.

#include "../support/Loopback.hpp"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace zd::e2e {

class RawClient {
public:
    // Connects to 127.0.0.1:port, or from `localAddress` (another loopback
    // address such as 127.0.0.2, so the server sees a different peer).
    explicit RawClient(std::uint16_t port, const std::string& localAddress = "")
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0)
            throw std::runtime_error("socket failed");
        if (!localAddress.empty()) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            ::inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr);
            if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
                throw std::runtime_error("bind to " + localAddress + " failed");
        }
        const sockaddr_in server = testsupport::LoopbackAddress(port);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
            throw std::runtime_error(std::string("connect failed: ") + std::strerror(errno));
    }
    ~RawClient()
    {
        if (ssl_) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
        SSL_CTX_free(ctx_);
        ::close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void Write(const std::string& bytes)
    {
        if (ssl_) {
            if (SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) <= 0)
                throw std::runtime_error("SSL_write failed");
            return;
        }
        if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("send failed");
    }
    void WriteLine(const std::string& line) { Write(line + "\r\n"); }

    // The next line without its CR LF; nullopt when nothing complete came
    // within the time-out or the server closed.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return line;
            }
            if (!Fill(deadline))
                return std::nullopt;
        }
    }

    // Exactly count bytes; nullopt when they did not all come within the
    // time-out or the server closed.
    std::optional<std::string> ReadExact(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (buffer_.size() < count)
            if (!Fill(deadline))
                return std::nullopt;
        std::string bytes = buffer_.substr(0, count);
        buffer_.erase(0, count);
        return bytes;
    }

    // True when the server closed the connection (waits up to the time-out).
    bool ServerClosed(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Fill(deadline)) {
        }
        return closed_;
    }

    // Client side of the handshake (the server's certificate is accepted as
    // it is); throws when it fails.
    std::string StartTls()
    {
        ctx_ = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_security_level(ctx_, 0);
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, fd_);
        if (SSL_connect(ssl_) != 1) {
            ERR_clear_error();
            throw std::runtime_error("TLS handshake failed");
        }
        return SSL_get_version(ssl_);
    }

    // "Login", "241", the identification, TLS, name and password; the reply
    // (or the greeting when it was not "241").
    std::string Login(const std::string& user, const std::string& password,
                      const std::string& clientInfo = "RawClient 1.0")
    {
        WriteLine("Login");
        const std::string greeting = ReadLine().value_or("<nothing>");
        if (greeting != "241")
            return greeting;
        WriteLine(clientInfo);
        if (!ssl_)
            StartTls();
        WriteLine(user);
        WriteLine(password);
        return ReadLine().value_or("<nothing>");
    }

    bool IsTls() const noexcept { return ssl_ != nullptr; }

private:
    // One read; false on time-out or close.
    bool Fill(std::chrono::steady_clock::time_point deadline)
    {
        if (closed_)
            return false;
        char chunk[4096];
        if (!ssl_ || SSL_pending(ssl_) == 0) {
            pollfd poller{fd_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0 || ::poll(&poller, 1, static_cast<int>(left)) <= 0)
                return false;
        }
        const int n = ssl_ ? SSL_read(ssl_, chunk, sizeof chunk)
                           : static_cast<int>(::recv(fd_, chunk, sizeof chunk, 0));
        if (n <= 0) {
            if (ssl_ && SSL_get_error(ssl_, n) == SSL_ERROR_WANT_READ)
                return true;
            ERR_clear_error();
            closed_ = true;
            return false;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string buffer_;
    bool closed_ = false;
};

} // namespace zd::e2e

#pragma once

// An HTTP client for preview requests, as a player would send them: the
// request head in one write, then the status line, the headers and the
// body, with the moment of the last byte and of the server's close.

#include "common/Base64.hpp"
#include "common/Scramble.hpp"

#include "../support/Loopback.hpp"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace zd::e2e {

struct PreviewHead {
    std::string Status;
    std::string Headers; // each line ending in CR LF, as received
    long long ContentLength = -1;
};

class PreviewClient {
public:
    using Clock = std::chrono::steady_clock;

    // receiveBuffer: a small socket receive buffer (bytes) makes the
    // server's writes block soon while this client does not read.
    explicit PreviewClient(std::uint16_t port, int receiveBuffer = 0)
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (receiveBuffer > 0) {
            // Small segments too, so the server's send buffer stays small.
            const int segment = 536;
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
            ::setsockopt(fd_, IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
        }
        const sockaddr_in address = testsupport::LoopbackAddress(port);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            Close();
            throw std::runtime_error("cannot connect");
        }
    }
    ~PreviewClient() { Close(); }
    PreviewClient(const PreviewClient&) = delete;
    PreviewClient& operator=(const PreviewClient&) = delete;

    // The Basic credentials as the voice-tracking client sends them.
    static std::string Credentials(const std::string& user, const std::string& password)
    {
        return "Authorization: Basic " + Base64Encode(Scramble(user + ":" + password, true)) + "\r\n";
    }

    // The request for a target ("C:/Cadmora/Music/x.flac.mp3") with extra
    // header lines (each ending in CR LF), sent in one write.
    void Request(const std::string& target, const std::string& headers)
    {
        const std::string head = "GET /" + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
        if (::send(fd_, head.data(), head.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(head.size()))
            throw std::runtime_error("send failed");
    }

    // The status line and headers; Status is empty when none came in time.
    PreviewHead ReadHead(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        PreviewHead head;
        const auto deadline = Clock::now() + timeout;
        std::size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill(deadline))
                break;
        }
        const std::string text = end == std::string::npos ? buffer_ : buffer_.substr(0, end + 2);
        buffer_.erase(0, end == std::string::npos ? buffer_.size() : end + 4);
        const auto lineEnd = text.find("\r\n");
        head.Status = text.substr(0, lineEnd);
        head.Headers = lineEnd == std::string::npos ? "" : text.substr(lineEnd + 2);
        const auto at = head.Headers.find("content-length: ");
        if (at != std::string::npos)
            head.ContentLength = std::atoll(head.Headers.c_str() + at + 16);
        return head;
    }

    // Body bytes until `limit` bytes, the server's close or the time-out.
    std::string ReadBody(std::size_t limit = std::string::npos,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        const auto deadline = Clock::now() + timeout;
        while (buffer_.size() < limit && Fill(deadline)) {
        }
        std::string body = buffer_.substr(0, limit);
        buffer_.erase(0, body.size());
        return body;
    }

    bool ServerClosed() const noexcept { return closed_; }
    Clock::time_point LastByteAt() const noexcept { return lastByte_; }
    Clock::time_point ClosedAt() const noexcept { return closedAt_; }

    void Close() noexcept
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    bool Fill(Clock::time_point deadline)
    {
        if (closed_ || fd_ < 0)
            return false;
        pollfd poller{fd_, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || ::poll(&poller, 1, static_cast<int>(left)) <= 0)
            return false;
        char chunk[65536];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            closed_ = true;
            closedAt_ = Clock::now();
            return false;
        }
        lastByte_ = Clock::now();
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    int fd_;
    std::string buffer_;
    bool closed_ = false;
    Clock::time_point lastByte_{};
    Clock::time_point closedAt_{};
};

} // namespace zd::e2e

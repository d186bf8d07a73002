#pragma once

#include "lib/posix/UniqueFileDescriptor.hpp"
#include "net/ByteStream.hpp"
#include "net/Limits.hpp"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// One accepted TCP connection: owns the socket, buffers what was read, and
// reads and writes through a ByteStream that the TLS switch can replace.
// Used by its own thread; only Close(), IsClosed() and PeerAddress() may be
// called from other threads.
class Connection {
public:
    static constexpr std::size_t kMaxLineLength = limits::kMaxLineLength;
    static constexpr std::chrono::milliseconds kDefaultReadTimeout = limits::kReadTimeout;

    // Takes ownership of a connected socket. Reads the peer address.
    explicit Connection(UniqueFileDescriptor socket);
    explicit Connection(int fd) : Connection(UniqueFileDescriptor(fd)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Reads a line ended by LF; a CR just before the LF is dropped. nullopt
    // when the read time-out passed with nothing read. Throws
    // ConnectionClosedError when the peer closed (bytes of an unfinished
    // line are lost), ReadTimeoutError when the time-out passed in the middle
    // of a line, SocketError on a broken connection or on a line longer than
    // maxLength bytes.
    std::optional<std::string> ReadLine(std::size_t maxLength = kMaxLineLength);

    // Fills `out` completely. Throws ConnectionClosedError, ReadTimeoutError,
    // SocketError.
    void ReadExact(std::span<std::byte> out);

    // Reads what is there, buffered bytes first, at least one byte, waiting
    // at most the read time-out. Returns 0 when the peer closed. Throws
    // ReadTimeoutError, SocketError.
    std::size_t ReadSome(std::span<std::byte> out);

    // Throws SocketError.
    void Write(std::string_view text);
    void Write(std::span<const std::byte> data);
    // Writes the text and CR LF. Throws SocketError.
    void WriteLine(std::string_view text);

    void SetReadTimeout(std::chrono::milliseconds timeout) noexcept { readTimeout_ = timeout; }
    std::chrono::milliseconds ReadTimeout() const noexcept { return readTimeout_; }

    // True when a read would find bytes without waiting on the socket:
    // bytes buffered here or in the stream, or bytes pending on the socket.
    bool BytesWaiting() const noexcept;

    // The peer's IPv4 address in dotted decimal ("" when unknown). noexcept.
    const std::string& PeerAddress() const noexcept { return peerAddress_; }

    int Fd() const noexcept { return fd_.Get(); }

    // Hands out (and forgets) bytes read from the socket but not yet
    // consumed, so the TLS layer can start from them. noexcept apart from
    // allocation.
    std::vector<std::byte> TakeBufferedBytes();

    // Replaces the stream under the reader (the switch to TLS); IsTls()
    // is true from then on.
    void ReplaceStream(std::unique_ptr<ByteStream> stream);
    bool IsTls() const noexcept { return tls_; }

    // The login finished ("OK", or a preview's accepted credentials): from
    // now on the login time no longer applies. Safe from any thread. noexcept.
    void MarkLoggedIn() noexcept { loggedIn_ = true; }
    bool LoggedIn() const noexcept { return loggedIn_.load(); }
    // Adds a wait the server itself imposes (a throttled login) to the login
    // time. Safe from any thread. noexcept.
    void ExtendLoginTime(std::chrono::milliseconds extra) noexcept { loginGraceMs_ += extra.count(); }
    std::chrono::milliseconds LoginGrace() const noexcept { return std::chrono::milliseconds(loginGraceMs_.load()); }

    // Shuts the socket down in both directions, so that a read blocked on
    // another thread returns. Safe from any thread; the descriptor itself is
    // closed by the destructor. noexcept.
    void Close() noexcept;
    bool IsClosed() const noexcept { return closed_.load(); }

private:
    std::size_t Fill(); // one read into the buffer; 0 = peer closed

    UniqueFileDescriptor fd_; // outlives stream_, which uses it
    std::string peerAddress_;
    std::unique_ptr<ByteStream> stream_;
    bool tls_ = false;
    std::vector<std::byte> buffer_;
    std::size_t bufferStart_ = 0;
    std::chrono::milliseconds readTimeout_ = kDefaultReadTimeout;
    std::atomic<bool> closed_{false};
    std::atomic<bool> loggedIn_{false};
    std::atomic<long long> loginGraceMs_{0};
};

} // namespace zd

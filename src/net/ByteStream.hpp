#pragma once

#include <chrono>
#include <cstddef>
#include <span>

namespace zd {

// A two-way byte stream under a connection: the plain socket, or the TLS
// layer over it once the login switches. Protocol code sees only this.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Reads at least one byte, waiting at most `timeout` for the first.
    // Returns the number of bytes read, 0 when the peer closed the stream.
    // Throws ReadTimeoutError when nothing arrived in time, SocketError on a
    // broken connection.
    virtual std::size_t ReadSome(std::span<std::byte> out, std::chrono::milliseconds timeout) = 0;

    // Writes every byte. Throws SocketError on failure.
    virtual void WriteAll(std::span<const std::byte> data) = 0;

    // True when bytes are already held by the stream (decoded TLS records)
    // and a read would not have to wait for the socket.
    virtual bool HasBufferedBytes() const noexcept = 0;
};

} // namespace zd

#pragma once

#include "net/ByteStream.hpp"

namespace zd {

// The stream of a connected socket without encryption. It does not own the
// descriptor; the Connection does.
class PlainStream final : public ByteStream {
public:
    explicit PlainStream(int fd) noexcept : fd_(fd) {}

    // Throws ReadTimeoutError, SocketError (see ByteStream).
    std::size_t ReadSome(std::span<std::byte> out, std::chrono::milliseconds timeout) override;
    // Throws SocketError.
    void WriteAll(std::span<const std::byte> data) override;
    bool HasBufferedBytes() const noexcept override { return false; }

private:
    int fd_;
};

} // namespace zd

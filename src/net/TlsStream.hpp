#pragma once

#include "lib/openssl/OpenSslOwners.hpp"
#include "net/ByteStream.hpp"

#include <chrono>
#include <span>
#include <string>

namespace zd {

// TLS over a connected socket that the caller keeps owning. The records go
// through memory buffers: what the socket delivers is fed to OpenSSL, what
// OpenSSL produces is sent with MSG_NOSIGNAL. So bytes that were read from
// the socket before the switch (a reader's buffer) can start the handshake,
// and a peer that went away never raises SIGPIPE.
class TlsStream final : public ByteStream {
public:
    enum class Role { Server, Client };

    // Runs the handshake, each wait on the socket at most `timeout`.
    // `initial`: bytes already read from the socket, handed to TLS first.
    // `peerName` (client role): the host name or IP address the certificate
    // must name when the context verifies; ignored otherwise.
    // Throws TlsError on a failed handshake (peer closed included),
    // ReadTimeoutError, SocketError.
    TlsStream(SSL_CTX* context, int fd, Role role, std::span<const std::byte> initial,
              std::chrono::milliseconds timeout, const std::string& peerName = {});
    // Sends close_notify when it can. noexcept.
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Throws ReadTimeoutError, SocketError, TlsError (see ByteStream).
    std::size_t ReadSome(std::span<std::byte> out, std::chrono::milliseconds timeout) override;
    // Throws SocketError, TlsError.
    void WriteAll(std::span<const std::byte> data) override;
    bool HasBufferedBytes() const noexcept override;

    // The negotiated protocol ("TLSv1.2"). noexcept.
    std::string Version() const;
    // The negotiated suite in OpenSSL's naming ("ECDHE-RSA-AES128-GCM-SHA256").
    std::string Cipher() const;
    // The SHA-256 fingerprint of the peer's certificate as colon-separated
    // hex pairs, "" when the peer sent none. Never throws apart from allocation.
    std::string PeerFingerprint() const;

private:
    void SendPending();
    bool FeedFromSocket(std::chrono::steady_clock::time_point deadline);

    SslPtr ssl_;
    BIO* input_ = nullptr;   // owned by ssl_
    BIO* output_ = nullptr;  // owned by ssl_
    int fd_;
    bool peerClosed_ = false;
};

} // namespace zd

#include "net/TlsStream.hpp"

#include "net/Limits.hpp"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

namespace zd {
namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

} // namespace

TlsStream::TlsStream(SSL_CTX* context, int fd, Role role, std::span<const std::byte> initial,
                     std::chrono::milliseconds timeout, const std::string& peerName)
    : ssl_(SSL_new(context)), fd_(fd)
{
    if (!ssl_)
        throw TlsError(OpenSslErrorText("SSL_new"));
    input_ = BIO_new(BIO_s_mem());
    output_ = BIO_new(BIO_s_mem());
    if (input_ == nullptr || output_ == nullptr) {
        BIO_free(input_);
        BIO_free(output_);
        throw TlsError(OpenSslErrorText("BIO_new"));
    }
    BIO_set_mem_eof_return(input_, -1);  // an empty buffer means "wait", not "end"
    SSL_set_bio(ssl_.get(), input_, output_);
    if (!initial.empty())
        BIO_write(input_, initial.data(), static_cast<int>(initial.size()));

    if (role == Role::Server) {
        SSL_set_accept_state(ssl_.get());
    } else {
        SSL_set_connect_state(ssl_.get());
        if (!peerName.empty()) {
            X509_VERIFY_PARAM* param = SSL_get0_param(ssl_.get());
            unsigned char address[16];
            const bool isAddress = inet_pton(AF_INET, peerName.c_str(), address) == 1
                || inet_pton(AF_INET6, peerName.c_str(), address) == 1;
            if (isAddress)
                X509_VERIFY_PARAM_set1_ip_asc(param, peerName.c_str());
            else {
                X509_VERIFY_PARAM_set1_host(param, peerName.c_str(), 0);
                SSL_set_tlsext_host_name(ssl_.get(), peerName.c_str());
            }
        }
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        ERR_clear_error();
        const int result = SSL_do_handshake(ssl_.get());
        SendPending();
        if (result == 1)
            return;
        const int error = SSL_get_error(ssl_.get(), result);
        if (error != SSL_ERROR_WANT_READ)
            throw TlsError(OpenSslErrorText("TLS handshake failed"));
        if (!FeedFromSocket(deadline))
            throw TlsError("TLS handshake failed: the peer closed the connection");
    }
}

TlsStream::~TlsStream()
{
    try {
        if (!peerClosed_ && SSL_is_init_finished(ssl_.get())) {
            SSL_shutdown(ssl_.get());
            SendPending();
        }
    } catch (...) {
        // the peer may be gone already
    }
    ERR_clear_error();
}

void TlsStream::SendPending()
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(output_, &data);
    std::size_t sent = 0;
    while (sent < static_cast<std::size_t>(size)) {
        const ssize_t n = ::send(fd_, data + sent, static_cast<std::size_t>(size) - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            (void)BIO_reset(output_);
            throw SocketError(std::strerror(error));
        }
        sent += static_cast<std::size_t>(n);
    }
    (void)BIO_reset(output_);
}

// Reads what the socket has into the TLS input; false when the peer closed.
bool TlsStream::FeedFromSocket(std::chrono::steady_clock::time_point deadline)
{
    pollfd poller{fd_, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&poller, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throw SocketError(std::strerror(errno));
        if (ready == 0)
            throw ReadTimeoutError();
        break;
    }
    char chunk[limits::kReadChunk];
    ssize_t n;
    do {
        n = ::recv(fd_, chunk, sizeof chunk, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == ECONNRESET || errno == EPIPE || errno == ENOTCONN) {
            peerClosed_ = true;
            return false;
        }
        throw SocketError(std::strerror(errno));
    }
    if (n == 0) {
        peerClosed_ = true;
        return false;
    }
    BIO_write(input_, chunk, static_cast<int>(n));
    return true;
}

std::size_t TlsStream::ReadSome(std::span<std::byte> out, std::chrono::milliseconds timeout)
{
    if (out.empty())
        return 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const int wanted = static_cast<int>(std::min<std::size_t>(out.size(), INT_MAX));
    for (;;) {
        ERR_clear_error();
        const int result = SSL_read(ssl_.get(), out.data(), wanted);
        SendPending();
        if (result > 0)
            return static_cast<std::size_t>(result);
        const int error = SSL_get_error(ssl_.get(), result);
        if (error == SSL_ERROR_ZERO_RETURN) {
            peerClosed_ = true;
            return 0;
        }
        if (error != SSL_ERROR_WANT_READ)
            throw TlsError(OpenSslErrorText("TLS read failed"));
        if (peerClosed_ || !FeedFromSocket(deadline))
            return 0;
    }
}

void TlsStream::WriteAll(std::span<const std::byte> data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(data.size() - done, INT_MAX));
        ERR_clear_error();
        const int result = SSL_write(ssl_.get(), data.data() + done, chunk);
        if (result <= 0)
            throw TlsError(OpenSslErrorText("TLS write failed"));
        SendPending();
        done += static_cast<std::size_t>(result);
    }
}

bool TlsStream::HasBufferedBytes() const noexcept
{
    return SSL_pending(ssl_.get()) > 0 || BIO_ctrl_pending(input_) > 0;
}

std::string TlsStream::Version() const
{
    return SSL_get_version(ssl_.get());
}

std::string TlsStream::Cipher() const
{
    return SSL_get_cipher_name(ssl_.get());
}

std::string TlsStream::PeerFingerprint() const
{
    X509* certificate = SSL_get0_peer_certificate(ssl_.get());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0)
            text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

} // namespace zd

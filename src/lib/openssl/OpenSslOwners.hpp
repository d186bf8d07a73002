#pragma once

#include "common/Error.hpp"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace zd {

// Owners of the OpenSSL handles this program uses; each frees its handle on
// every path.
struct SslCtxFree { void operator()(SSL_CTX* p) const noexcept { SSL_CTX_free(p); } };
struct SslFree { void operator()(SSL* p) const noexcept { SSL_free(p); } };
struct BioFree { void operator()(BIO* p) const noexcept { BIO_free_all(p); } };
struct EvpPkeyFree { void operator()(EVP_PKEY* p) const noexcept { EVP_PKEY_free(p); } };
struct X509Free { void operator()(X509* p) const noexcept { X509_free(p); } };
struct X509ExtensionFree { void operator()(X509_EXTENSION* p) const noexcept { X509_EXTENSION_free(p); } };

using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;
using SslPtr = std::unique_ptr<SSL, SslFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, EvpPkeyFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, X509ExtensionFree>;

// A failure of the TLS layer: handshake, certificate or key, record error.
class TlsError : public Error {
public:
    explicit TlsError(const std::string& message) : Error("EIdOSSLUnderlyingCryptoError", message) {}
};

// The what-text, a colon and the oldest queued OpenSSL error (the queue is
// emptied). Never throws apart from allocation.
std::string OpenSslErrorText(const std::string& what);

} // namespace zd

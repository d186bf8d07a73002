#include "lib/openssl/TlsContext.hpp"

namespace zd {
namespace {

// Suites for TLS 1.2: forward-secret key exchange (ECDHE) with AEAD
// ciphers only. TLS 1.3 has its own suites, all of them AEAD with an
// ephemeral key exchange.
constexpr const char* kAeadSuites =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";
// TLS 1.1 has no AEAD suite: CBC with SHA-1, still behind ECDHE. Offered
// only to clients that cannot go beyond TLS 1.1.
constexpr const char* kTls11Suites =
    "ECDHE-ECDSA-AES128-SHA:ECDHE-RSA-AES128-SHA:ECDHE-ECDSA-AES256-SHA:ECDHE-RSA-AES256-SHA";
constexpr const char* kGroups = "X25519:P-256:P-384";

std::string AllSuites()
{
    return std::string(kAeadSuites) + ":" + kTls11Suites;
}

// A client that offers TLS 1.2 or later will get it, so the CBC suites are
// taken out of its choice.
int NarrowSuitesToVersion(SSL* ssl, int* /*alert*/, void* /*arg*/)
{
    const unsigned int offered = SSL_client_hello_get0_legacy_version(ssl);
    int* extensions = nullptr;
    std::size_t count = 0;
    bool supportedVersions = false;
    if (SSL_client_hello_get1_extensions_present(ssl, &extensions, &count) == 1) {
        for (std::size_t i = 0; i < count; ++i)
            supportedVersions = supportedVersions || extensions[i] == TLSEXT_TYPE_supported_versions;
        OPENSSL_free(extensions);
    }
    if (offered >= TLS1_2_VERSION || supportedVersions)
        SSL_set_cipher_list(ssl, kAeadSuites);
    return SSL_CLIENT_HELLO_SUCCESS;
}

SslCtxPtr NewContext(const SSL_METHOD* method)
{
    SslCtxPtr ctx(SSL_CTX_new(method));
    if (!ctx)
        throw TlsError(OpenSslErrorText("SSL_CTX_new"));
    // TLS 1.1 signs its key exchange with MD5 and SHA-1, which every higher
    // security level refuses.
    SSL_CTX_set_security_level(ctx.get(), 0);
    if (SSL_CTX_set_min_proto_version(ctx.get(), TLS1_1_VERSION) != 1
        || SSL_CTX_set_max_proto_version(ctx.get(), TLS1_3_VERSION) != 1)
        throw TlsError(OpenSslErrorText("Could not set the TLS versions"));
    if (SSL_CTX_set_cipher_list(ctx.get(), AllSuites().c_str()) != 1
        || SSL_CTX_set1_groups_list(ctx.get(), kGroups) != 1)
        throw TlsError(OpenSslErrorText("Could not set the TLS suites"));
    SSL_CTX_set_options(ctx.get(), SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
    return ctx;
}

} // namespace

SslCtxPtr MakeServerTlsContext(const std::string& certFile, const std::string& keyFile)
{
    SslCtxPtr ctx = NewContext(TLS_server_method());
    SSL_CTX_set_options(ctx.get(), SSL_OP_CIPHER_SERVER_PREFERENCE);
    SSL_CTX_set_client_hello_cb(ctx.get(), NarrowSuitesToVersion, nullptr);
    if (SSL_CTX_use_certificate_chain_file(ctx.get(), certFile.c_str()) != 1)
        throw TlsError(OpenSslErrorText("Could not load certificate " + certFile));
    if (SSL_CTX_use_PrivateKey_file(ctx.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        throw TlsError(OpenSslErrorText("Could not load key " + keyFile));
    if (SSL_CTX_check_private_key(ctx.get()) != 1)
        throw TlsError(OpenSslErrorText("The key does not match the certificate"));
    return ctx;
}

SslCtxPtr MakeClientTlsContext(const std::string& caFile)
{
    SslCtxPtr ctx = NewContext(TLS_client_method());
    if (caFile.empty()) {
        SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_NONE, nullptr);
    } else {
        if (SSL_CTX_load_verify_locations(ctx.get(), caFile.c_str(), nullptr) != 1)
            throw TlsError(OpenSslErrorText("Could not load CA file " + caFile));
        SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    }
    return ctx;
}

} // namespace zd

#include "lib/openssl/TlsContext.hpp"

namespace zd {
namespace {

SslCtxPtr NewContext(const SSL_METHOD* method)
{
    SslCtxPtr ctx(SSL_CTX_new(method));
    if (!ctx)
        throw TlsError(OpenSslErrorText("SSL_CTX_new"));
    SSL_CTX_set_security_level(ctx.get(), 0);
    if (SSL_CTX_set_min_proto_version(ctx.get(), TLS1_1_VERSION) != 1
        || SSL_CTX_set_max_proto_version(ctx.get(), TLS1_2_VERSION) != 1)
        throw TlsError(OpenSslErrorText("Could not set the TLS versions"));
    return ctx;
}

} // namespace

SslCtxPtr MakeServerTlsContext(const std::string& certFile, const std::string& keyFile)
{
    SslCtxPtr ctx = NewContext(TLS_server_method());
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

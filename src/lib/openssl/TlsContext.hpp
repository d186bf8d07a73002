#pragma once

#include "lib/openssl/OpenSslOwners.hpp"

#include <string>

namespace zd {

// The server side of the command connections: TLS 1.1, 1.2 and 1.3 (the
// security level is lowered to 0 so that TLS 1.1 is allowed at all), ECDHE
// key exchange only, AEAD suites first and CBC-SHA1 suites only for clients
// that stop at TLS 1.1, with the certificate chain and private key of the
// given PEM files (native paths). Throws TlsError when a file does not load or the key does not
// belong to the certificate.
SslCtxPtr MakeServerTlsContext(const std::string& certFile, const std::string& keyFile);

// The client side: the same versions and suites. With an empty caFile the server's
// certificate is accepted as it is; otherwise it must verify against the
// certificates of that PEM file. Throws TlsError.
SslCtxPtr MakeClientTlsContext(const std::string& caFile);

} // namespace zd

#pragma once

#include "lib/openssl/OpenSslOwners.hpp"

#include <string>

namespace zd {

// The server side of the command connections: TLS 1.1 and 1.2 only (the
// security level is lowered to 0 so that TLS 1.1 is allowed at all), with
// the certificate chain and private key of the given PEM files (native
// paths). Throws TlsError when a file does not load or the key does not
// belong to the certificate.
SslCtxPtr MakeServerTlsContext(const std::string& certFile, const std::string& keyFile);

// The client side: TLS 1.1 and 1.2. With an empty caFile the server's
// certificate is accepted as it is; otherwise it must verify against the
// certificates of that PEM file. Throws TlsError.
SslCtxPtr MakeClientTlsContext(const std::string& caFile);

} // namespace zd

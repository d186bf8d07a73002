#pragma once

#include <string>

namespace zd {

// Makes a self-signed certificate (RSA 2048, SHA-256, ten years) for the
// host name and writes it and its private key as PEM files (native paths;
// the key readable by the owner only). The certificate names the host,
// "localhost" and 127.0.0.1, so a client can verify it when given it as its
// CA file. Throws TlsError when the key or certificate cannot be made,
// FileError when a file cannot be written.
void MakeSelfSignedCertificate(const std::string& certFile, const std::string& keyFile,
                               const std::string& hostName);

// The local host name ("localhost" when the system gives none). noexcept
// apart from allocation.
std::string LocalHostName();

} // namespace zd

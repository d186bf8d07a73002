#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace zd {

class Connection;
class MainForm;

// The TLS settings of the listener: TLS 1.1 and 1.2 with DataFolder +
// "cert.pem" and "key.pem".

// Loads the pair for the listener; called at each activation. When neither
// file exists, a self-signed pair for the local host name is made there
// first (and logged once the log records). Throws TlsError or FileError when
// the pair cannot be made or does not load; the activation then fails.
void PrepareServerTls(MainForm& form);

// The same for a given data folder (native, ending in "/"); returns true
// when it made a new pair. Throws as above.
bool PrepareServerTls(const std::string& dataFolder);

// The context loaded by the last successful PrepareServerTls, or null.
// Any thread. noexcept.
std::shared_ptr<SSL_CTX> ServerTlsContext() noexcept;

// Switches the connection from plain text to TLS (server side of the
// handshake, each wait at most the connection's read time-out), starting
// from the bytes the connection read ahead. A connection already in TLS is
// left as it is. Throws TlsError (also when no context is loaded),
// ReadTimeoutError, SocketError.
void SwitchToTls(Connection& connection);

} // namespace zd

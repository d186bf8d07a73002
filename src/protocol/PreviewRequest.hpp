#pragma once

#include "protocol/Session.hpp"

#include <string_view>

namespace zd {

// Takes over a connection whose first line is an HTTP request line. This
// build serves no previews: it answers "HTTP/1.1 503 Service Unavailable"
// and closes the connection. Throws SocketError.
void HandlePreviewRequest(Session& session, std::string_view firstLine);

} // namespace zd

#include "protocol/PreviewRequest.hpp"

#include "net/Connection.hpp"

namespace zd {

void HandlePreviewRequest(Session& session, std::string_view /*firstLine*/)
{
    Connection& connection = session.connection;
    connection.Write("HTTP/1.1 503 Service Unavailable\r\n"
                     "Content-Length: 0\r\n"
                     "Connection: close\r\n"
                     "\r\n");
    connection.Close();
}

} // namespace zd

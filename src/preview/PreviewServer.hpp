#pragma once

#include "preview/PlayerPool.hpp"

#include <string_view>

namespace zd {

class Connection;
class MainForm;
class TContextData;

// The preview side of the server: owns the player pool and serves the HTTP
// preview requests that arrive on the command port. main() makes one,
// installs it into the form before the server starts and keeps it until the
// form has closed.
class PreviewServer {
public:
    // Installs the request handler and the form's stream hooks: the end of
    // a stream asked for by the session end or the operator's "Disconnect",
    // the dropping of a user's streams at the end of the user's session, and
    // the connection of a player for the list.
    void Install(MainForm& form);

    // Serves the request whose first line was read (on the connection's
    // thread) and closes the connection. Throws what a broken connection
    // throws once the stream's own end has run.
    void HandlePreviewRequest(MainForm& form, Connection& connection, TContextData& context,
                              std::string_view firstLine);

    // Main thread.
    PlayerPool& Pool() noexcept { return pool_; }

private:
    PlayerPool pool_;
};

} // namespace zd

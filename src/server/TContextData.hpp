#pragma once

#include "server/TUser.hpp"

#include <memory>
#include <string>

namespace zd {

class Connection;
class ServedConnection;
class TPlayer;

// The session record of one connection, created when it is accepted and
// freed when it ends. It belongs to its connection's thread; the main thread
// links to it from the connected-users list, and DropSession on another
// thread reaches it through that link. Shared ownership keeps the record
// valid for whoever still uses it after the connection detached it.
class TContextData : public std::enable_shared_from_this<TContextData> {
public:
    explicit TContextData(std::weak_ptr<ServedConnection> owner) noexcept
        : owner_(std::move(owner)) {}

    std::string ClientInfo;        // identification line sent after "241"
    std::shared_ptr<TUser> User;   // set by a successful login
    bool IsStream = false;         // true while serving an HTTP preview
    TPlayer* Player = nullptr;     // the preview player slot, if any

    // The connection this record belongs to; null once it ended. noexcept.
    std::shared_ptr<ServedConnection> Owner() const noexcept { return owner_.lock(); }

private:
    std::weak_ptr<ServedConnection> owner_;
};

} // namespace zd

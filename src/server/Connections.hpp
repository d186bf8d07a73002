#pragma once

#include "net/Listener.hpp"
#include "server/ConnectedList.hpp"
#include "server/LoginThrottle.hpp"
#include "server/ServedConnection.hpp"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>

namespace zd {

class MainForm;
class TContextData;
class TUser;

// The connection side of the server: the listener, the command handler that
// serves each connection on its thread, the session end and the drop, and
// the connected-users list with the tray status that shows it. MainForm
// reaches it under the system's event names.
class Connections {
public:
    // The per-connection command handler; it is called again and again on
    // the connection's thread until the connection is closed.
    using CommandHandler = std::function<void(MainForm&, Connection&, TContextData&)>;

    // Installs the default command handler (reads lines, closes at the read
    // time-out).
    explicit Connections(MainForm& form);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // Loads the TLS pair and listens on Port (or --listen) on all local
    // addresses; on failure unticks "Enable Server", logs and shows the
    // message. noexcept apart from allocation.
    void ActivateListener();
    // Stops listening and ends every connection, serving main-thread jobs
    // until their threads finished. Main thread. noexcept.
    void StopListening() noexcept;
    bool Listening() const noexcept { return listener_.Listening(); }
    std::uint16_t BoundPort() const noexcept { return listener_.BoundPort(); }
    // Open connections, from the listener's list under its lock. Any thread.
    std::size_t OpenCount() const { return listener_.ConnectionCount(); }
    // Failed logins per peer address. Any thread.
    LoginThrottle& Throttle() noexcept { return throttle_; }
    // Joins the threads of connections that ended. noexcept.
    void JoinFinished() noexcept { listener_.JoinFinished(false); }

    // The connected-users list (main thread).
    ConnectedList& List() noexcept { return connected_; }
    void AddSessionEntry(const std::shared_ptr<TContextData>& context, const TUser& user);
    int FindSessionEntry(const TContextData& context) const noexcept;
    void RemoveEntry(int index);
    std::shared_ptr<TContextData> FindSessionByLogin(std::string_view login) const noexcept;
    void DisconnectEntry(int index);
    void DisconnectAll();
    void UpdateTrayStatus();

    // An empty handler installs the default one.
    void SetCommandHandler(CommandHandler handler);
    // See MainForm.
    void DropSession(TContextData& context) noexcept;
    void TCPServerDisconnect(ServedConnection& served) noexcept;
    void TCPServerException(ServedConnection& served, const std::exception& error) noexcept;
    void TCPServerListenException(const std::exception& error) noexcept;

private:
    void ServeConnection(const std::shared_ptr<ServedConnection>& served);
    void TCPServerConnect(const std::shared_ptr<ServedConnection>& served);

    MainForm& form_;
    ConnectedList connected_;
    CommandHandler handler_;
    LoginThrottle throttle_;
    Listener listener_; // last: its threads use everything above
};

} // namespace zd

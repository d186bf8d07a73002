#include "protocol/CommandSession.hpp"

#include "common/Texts.hpp"
#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "net/Limits.hpp"
#include "protocol/Session.hpp"
#include "scheduler/SharedFiles.hpp"
#include "server/MainForm.hpp"
#include "server/ServerTls.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zd {
namespace {


// Waits for the time unless the connection is closed meanwhile (the server
// stops, or the client was dropped); false when it was.
bool WaitUnlessClosed(const Connection& connection, std::chrono::milliseconds time)
{
    constexpr std::chrono::milliseconds kSlice{100};
    const auto until = std::chrono::steady_clock::now() + time;
    while (!connection.IsClosed()) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kSlice));
    }
    return false;
}

// A client line of the exchange; a read that timed out gives "".
std::string ReadClientLine(Connection& connection)
{
    return ReadTrimmedLine(connection).value_or(std::string());
}

// What the main thread found for the name and password.
struct AccessCheck {
    std::shared_ptr<TUser> user;
    AccessResult result = AccessResult::BadPassword;
};

const char* ReplyFor(AccessResult result) noexcept
{
    switch (result) {
    case AccessResult::Accepted: return "OK";
    case AccessResult::Disabled: return "Disabled";
    case AccessResult::BadAddress: return "Bad IP";
    case AccessResult::BadPassword: break;
    }
    return "Fail";
}

} // namespace

void RunLoginExchange(Session& session)
{
    MainForm& form = session.form;
    Connection& connection = session.connection;
    TContextData& context = session.context;

    if (IsSchedulerEditing()) {
        connection.WriteLine("001");
        form.LogEvent(Tr("Playlist editing in progress. Login denied"));
        return;
    }
    connection.WriteLine("241");
    const std::string clientInfo = ReadClientLine(connection);
    if (clientInfo == "quit!")
        return;
    context.ClientInfo = ClientText(clientInfo);

    SwitchToTls(connection);
    std::this_thread::sleep_for(limits::kPauseAfterTls);
    const std::string name = ReadClientLine(connection);
    const std::string password = ReadClientLine(connection);
    const std::string shownName = ClientText(name);

    if (context.User) {
        connection.WriteLine("Already logged in");
        form.LogEvent(TrFormat("User %0:s already logged in", {shownName}));
        return;
    }

    const std::string peer = connection.PeerAddress();
    const AccessCheck check = form.RunOnMainThread([&] {
        AccessCheck found;
        found.user = form.FindUser(name);
        found.result = CheckAccess(found.user.get(), password, peer);
        return found;
    });

    // An address with many failed logins waits before every answer, so
    // passwords cannot be tried at speed.
    const auto now = LoginThrottle::Clock::now();
    const std::chrono::milliseconds delay = form.Throttle().DelayFor(peer, now);
    if (check.result == AccessResult::Accepted)
        form.Throttle().Succeeded(peer);
    else
        form.Throttle().Failed(peer, now);
    if (delay.count() > 0) {
        connection.ExtendLoginTime(delay);
        if (!WaitUnlessClosed(connection, delay))
            return;
    }

    if (check.result == AccessResult::Accepted) {
        connection.MarkLoggedIn();
        context.IsStream = false;
        context.User = check.user;
        // The entry text starts with the stored login, so it is looked up by
        // that (the name as sent may differ in letter case).
        const std::string login = check.user->Login;
        const std::shared_ptr<TContextData> older =
            form.RunOnMainThread([&] { return form.FindSessionByLogin(login); });
        if (older && older.get() != &context) {
            std::string olderPeer;
            if (const auto owner = older->Owner())
                olderPeer = owner->connection.PeerAddress();
            form.LogEvent(TrFormat("User %0:s already connected on IP %1:s. Disconnecting old connection.",
                                   {shownName, olderPeer}));
            form.DropSession(*older);
        }
        const std::shared_ptr<TContextData> self = context.shared_from_this();
        form.RunOnMainThread([&] { form.AddSessionEntry(self, *check.user); });
    }

    const std::string reply = ReplyFor(check.result);
    connection.WriteLine(reply);

    if (check.result == AccessResult::Accepted) {
        form.LogEvent(TrFormat("User %0:s connected on IP %1:s.", {shownName, peer}) + " " + context.ClientInfo);
        return;
    }
    // No password, sent or stored, ever reaches the log.
    form.LogEvent(TrFormat("Login attempt by user %0:s failed on IP %1:s.", {shownName, peer}));
}

} // namespace zd

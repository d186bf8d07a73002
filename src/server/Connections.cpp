#include "server/Connections.hpp"

#include "common/Error.hpp"
#include "common/Translate.hpp"
#include "server/MainForm.hpp"
#include "server/ServerTls.hpp"
#include "server/TContextData.hpp"

namespace zd {

namespace {

// Until a command handler is installed a connection only reads lines and
// ends at the read time-out.
void ReadUntilTimeout(MainForm&, Connection& connection, TContextData&)
{
    if (!connection.ReadLine())
        connection.Close();
}

} // namespace

Connections::Connections(MainForm& form) : form_(form), handler_(ReadUntilTimeout)
{
    listener_.SetOnConnectionEnded([this] { form_.Main().Wake(); });
    listener_.SetOnLimit([this](std::size_t count) {
        // The accepting thread hands the line over without waiting.
        form_.Main().Post([this, line = TrFormat("Connection limits reached: %0:s connections refused or closed",
                                                 {std::to_string(count)})] { form_.LogEvent(line); });
    });
}

Connections::~Connections() = default;

void Connections::ActivateListener()
{
    const StartOptions& options = form_.Options();
    const std::string address = options.ListenAddress.value_or(std::string());
    const std::uint16_t port = options.ListenPort.value_or(form_.Page().Port());
    try {
        PrepareServerTls(form_);
        listener_.Listen(
            address, port,
            [this](const std::shared_ptr<Connection>& connection) {
                ServeConnection(std::make_shared<ServedConnection>(connection));
            },
            [this](const std::exception& error) { TCPServerListenException(error); });
    } catch (const std::exception& error) {
        form_.Page().UntickEnabled();
        form_.LogEvent(Tr("Unable to activate the server") + ": " + error.what());
        if (const auto& show = form_.GetHooks().ShowMessage)
            show({form_.ProgramTitle() + " " + Tr("Error"), Tr("Unable to activate the server"), error.what()});
    }
}

void Connections::StopListening() noexcept
{
    listener_.Stop();
    // Connections that never logged in are not in the list: end them too,
    // serving their last main-thread jobs while they finish.
    listener_.CloseAll();
    form_.Main().PumpUntil([this] { return listener_.ConnectionCount() == 0; });
    listener_.JoinFinished(true);
}

void Connections::AddSessionEntry(const std::shared_ptr<TContextData>& context, const TUser& user)
{
    connected_.AddSession(context, user);
    UpdateTrayStatus();
}

int Connections::FindSessionEntry(const TContextData& context) const noexcept
{
    return connected_.FindSessionEntry(&context);
}

void Connections::RemoveEntry(int index)
{
    connected_.RemoveEntry(index);
    UpdateTrayStatus();
}

std::shared_ptr<TContextData> Connections::FindSessionByLogin(std::string_view login) const noexcept
{
    return connected_.FindSessionByLogin(login);
}

void Connections::DisconnectEntry(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= connected_.Count())
        return;
    const ConnectedList::Entry entry = connected_[static_cast<std::size_t>(index)];
    std::shared_ptr<TContextData> context = entry.context;
    const auto& playerContext = form_.GetHooks().PlayerContext;
    if (entry.IsStream())
        context = playerContext ? playerContext(entry.player) : nullptr;
    if (context)
        DropSession(*context);
    // An entry whose connection had already gone is removed here, so no
    // stale entry stays.
    const int left = entry.IsStream() ? connected_.FindStreamEntry(entry.player)
                                      : connected_.FindSessionEntry(entry.context.get());
    if (left >= 0)
        RemoveEntry(left);
}

void Connections::DisconnectAll()
{
    for (std::size_t i = connected_.Count(); i > 0; --i) {
        if (i - 1 < connected_.Count())
            DisconnectEntry(static_cast<int>(i - 1));
    }
}

void Connections::UpdateTrayStatus()
{
    const std::string count = " (" + std::to_string(connected_.Count()) + ")";
    WindowState& window = form_.Window();
    window.ApplicationTitle = form_.ProgramTitle() + count;
    window.TrayTip = Tr("Vornelle") + " " + form_.ProgramTitle() + count;
    window.TrayImage = connected_.Count() > 0 ? 1 : 0;
    // The scheduler learns who is connected from its connected-users file.
    if (const auto& publish = form_.GetHooks().PublishConnectedUsers)
        publish(form_, connected_.Texts());
}

void Connections::SetCommandHandler(CommandHandler handler)
{
    handler_ = handler ? std::move(handler) : CommandHandler(ReadUntilTimeout);
}

void Connections::TCPServerConnect(const std::shared_ptr<ServedConnection>& served)
{
    served->Attach(std::make_shared<TContextData>(served));
}

void Connections::ServeConnection(const std::shared_ptr<ServedConnection>& served)
{
    TCPServerConnect(served);
    Connection& connection = served->connection;
    try {
        while (!connection.IsClosed()) {
            const std::shared_ptr<TContextData> data = served->Data();
            if (!data)
                break;
            handler_(form_, connection, *data);
        }
    } catch (const ConnectionClosedError&) {
        // The peer hung up: the normal end of a connection.
    } catch (const std::exception& error) {
        if (!connection.IsClosed())
            TCPServerException(*served, error);
    }
    connection.Close();
    TCPServerDisconnect(*served);
}

void Connections::DropSession(TContextData& context) noexcept
{
    const std::shared_ptr<ServedConnection> owner = context.Owner();
    if (!owner)
        return;
    TCPServerDisconnect(*owner);
    owner->connection.Close();
}

void Connections::TCPServerDisconnect(ServedConnection& served) noexcept
{
    // Detaching first makes sure the session end runs once, whichever of
    // the connection's thread and a DropSession gets here first.
    std::shared_ptr<TContextData> data = served.Detach();
    if (!data)
        return;
    const std::string peer = served.connection.PeerAddress();
    const std::shared_ptr<TUser> user = data->User;
    if (!user)
        return;
    const MainForm::Hooks& hooks = form_.GetHooks();
    try {
        if (data->IsStream) {
            if (data->Player != nullptr && hooks.ClosePreviewStream)
                hooks.ClosePreviewStream(form_, *data);
            return;
        }
        form_.Main().RunOnMainThread([&] {
            const int index = FindSessionEntry(*data);
            if (index >= 0)
                RemoveEntry(index);
        });
        if (hooks.DropUserPreviews)
            hooks.DropUserPreviews(form_, user);
        if (hooks.RestorePlaylist) {
            if (const auto message = hooks.RestorePlaylist(form_, *user))
                form_.LogEvent("**** " + Format(Tr("User %0:s error updating PLG") + ". %1:s", {user->Login, *message}));
        }
    } catch (...) {
        // The session end goes on as far as it can.
    }
    form_.LogEvent(TrFormat("User %0:s disconnected from IP %1:s.", {user->Login, peer}));
}

void Connections::TCPServerException(ServedConnection& served, const std::exception& error) noexcept
{
    const std::shared_ptr<TContextData> data = served.Data();
    if (!data)
        return;
    try {
        form_.LogEvent("**** " + ErrorText(error));
    } catch (...) {
    }
    if (data->IsStream)
        DropSession(*data);
}

void Connections::TCPServerListenException(const std::exception& error) noexcept
{
    try {
        std::string line = "**** Listener Thread " + ErrorText(error);
        // The accepting thread must not wait for the main thread, which may
        // be joining it.
        form_.Main().Post([this, line = std::move(line)] { form_.LogEvent(line); });
    } catch (...) {
    }
}

} // namespace zd

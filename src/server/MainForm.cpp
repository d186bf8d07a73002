#include "server/MainForm.hpp"

#include "common/Error.hpp"
#include "common/Timing.hpp"
#include "common/Translate.hpp"
#include "platform/InstanceLock.hpp"
#include "platform/LocalAddresses.hpp"
#include "platform/RestoreSignal.hpp"
#include "audio/NativePath.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/ServerTls.hpp"
#include "server/SettingsFile.hpp"

#include <cstdio>
#include <ctime>

namespace zd {

namespace {

constexpr std::uint32_t kSecondCopyWaitMs = 4050;
constexpr std::uint32_t kSecondCopySleepMs = 15;

std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

// Until a command handler is installed a connection only reads lines and
// ends at the read time-out.
void ReadUntilTimeout(MainForm&, Connection& connection, TContextData&)
{
    if (!connection.ReadLine())
        connection.Close();
}

} // namespace

MainForm::MainForm(MainThread& mainThread, StartOptions options)
    : mainThread_(mainThread),
      options_(std::move(options)),
      folders_(Folders::FromProgramFolder(options_.ProgramFolder.empty() ? ExecutableFolder()
                                                                         : options_.ProgramFolder)),
      optionsPage_(*this),
      usersPage_(*this),
      handler_(ReadUntilTimeout)
{
    BindCatalogue(folders_.CatalogueFolder);
    programTitle_ = Tr("ZO Davizi");
    window_.Caption = Tr("Vornelle") + " " + programTitle_;
    // The listener's TLS settings (TLS 1.1 and 1.2, cert.pem and key.pem in
    // the data folder) belong to the login's switch to TLS.
    if (options_.Headless) {
        log_.Echo = [](const std::string& line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        };
        hooks_.ShowMessage = [](const MessageDialog& dialog) {
            std::fprintf(stderr, "%s\n%s\n%s\n", dialog.Title.c_str(), dialog.Text.c_str(),
                         dialog.Detail.c_str());
            std::fflush(stderr);
        };
        hooks_.Beep = [] {
            std::fputc('\a', stderr);
            std::fflush(stderr);
        };
    }
    listener_.SetOnConnectionEnded([this] { mainThread_.Wake(); });
    mainThread_.SetTimerHandler([this] { CheckTime(); });
}

MainForm::~MainForm()
{
    FormClose();
}

void MainForm::ShowMessage(const MessageDialog& dialog)
{
    if (hooks_.ShowMessage)
        hooks_.ShowMessage(dialog);
}

std::tm MainForm::Now() const
{
    return hooks_.LocalClock ? hooks_.LocalClock() : LocalNow();
}

bool MainForm::StartServer()
{
    SetInstallationRoot(folders_.RootFolder);
    SetSchedulerDataFolder(folders_.DataFolder);
    if (!LoadSchedulerSettings()) {
        ShowMessage({programTitle_, Tr("A correctly configured installation of Cadmora must exist on this computer"),
                     Format(Tr("%0:s will now close."), {programTitle_})});
        exitCode_ = 1;
        return false;
    }
    localeFormats_ = CaptureLocaleFormats();
    // The decoder host is pointed at EngineFolder here.
    // The autostart entry ticks "Auto Load" here.
    LoadSettings(*this);
    localAddress_ = ChooseLocalAddress(LocalIPv4Addresses());
    if (!CheckSingleInstance())
        return false;
    UpdateTrayStatus();
    // The Users page captions its day and hour switches here.
    if (optionsPage_.ServerEnabled()) {
        ActivateListener();
        // Port forwarding adds its mapping here when UPnP is on and the
        // server is still enabled.
    } else if (options_.Headless && log_.Echo) {
        // With no window nothing else would tell the operator why nobody
        // can connect.
        log_.Echo(Tr("\"Enable Server\" is off: the server does not listen for connections"));
    }
    window_.Visible = optionsPage_.VisibleAtStartup();
    optionsPage_.SetLoading(false);
    if (users_.Empty()) {
        window_.UsersPageShown = true;
        mainThread_.SetTimerInterval(kFirstTickWithoutUsers);
    } else {
        window_.UsersPageShown = false;
        mainThread_.SetTimerInterval(kTimerInterval);
    }
    // The decoder host's buffer-length setting is set to 1 here.
    mainThread_.StartTimer();
    started_ = true;
    return true;
}

bool MainForm::CheckSingleInstance()
{
    try {
        restoreSignal_ = std::make_unique<RestoreSignal>(folders_.RootFolder);
        restoreSignal_->Set(0);
    } catch (const std::exception&) {
        restoreSignal_.reset(); // no signal: a second start cannot ask us to show
    }
    instanceLock_ = std::make_unique<InstanceLock>(folders_.RootFolder);
    if (instanceLock_->Acquired())
        return true;

    instanceLock_.reset();
    bool answered = false;
    if (restoreSignal_) {
        restoreSignal_->Set(RestoreSignal::kRestore);
        std::uint32_t waited = 0;
        while (restoreSignal_->Get() != 0 && SleepAndCount(waited, kSecondCopyWaitMs, kSecondCopySleepMs)) {
        }
        answered = restoreSignal_->Get() == 0;
    }
    if (hooks_.Beep)
        hooks_.Beep();
    if (!answered) {
        ShowMessage({Tr("Error"), Format(Tr("%0:s is already loaded."), {programTitle_}),
                     Tr("Click OK to exit")});
    }
    restoreSignal_.reset();
    exitCode_ = 1;
    return false;
}

void MainForm::ActivateListener()
{
    const std::string address = options_.ListenAddress.value_or(std::string());
    const std::uint16_t port = options_.ListenPort.value_or(optionsPage_.Port());
    try {
        PrepareServerTls(*this);
        listener_.Listen(
            address, port,
            [this](const std::shared_ptr<Connection>& connection) {
                ServeConnection(std::make_shared<ServedConnection>(connection));
            },
            [this](const std::exception& error) { TCPServerListenException(error); });
    } catch (const std::exception& error) {
        optionsPage_.UntickEnabled();
        LogEvent(Tr("Unable to activate the server") + ": " + error.what());
        ShowMessage({programTitle_ + " " + Tr("Error"), Tr("Unable to activate the server"), error.what()});
    }
}

void MainForm::StopListening() noexcept
{
    listener_.Stop();
    // Connections that never logged in are not in the list: end them too,
    // serving their last main-thread jobs while they finish.
    listener_.CloseAll();
    mainThread_.PumpUntil([this] { return listener_.ConnectionCount() == 0; });
    listener_.JoinFinished(true);
}

void MainForm::CheckTime()
{
    mainThread_.StopTimer();
    if (mainThread_.TimerInterval() == kFirstTickWithoutUsers) {
        // The current page is shown as if just opened (the Users page puts
        // the focus on the new-user field).
        mainThread_.SetTimerInterval(kTimerInterval);
    }
    const std::tm now = Now();
    if (now.tm_hour != lastHour_) {
        lastHour_ = now.tm_hour;
        LoadSchedulerSettings(); // a failure keeps the values of the last load
    }
    if (now.tm_min != lastMinute_) {
        lastMinute_ = now.tm_min;
        if (now.tm_min % 10 == 0) {
            // Port forwarding renews its mapping here when UPnP is on and no
            // connection is open.
            SaveSettings(*this, false);
        }
    }
    if (restoreSignal_ && restoreSignal_->Get() == RestoreSignal::kRestore) {
        restoreSignal_->Set(0);
        // The restore action: master password, then the window comes forward.
        window_.RestoreRequested = true;
        window_.Visible = true;
    }
    // Connections that ended keep their socket and thread until joined;
    // without this they would wait for the next client to connect.
    listener_.JoinFinished(false);
    mainThread_.StartTimer();
}

void MainForm::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    mainThread_.StopTimer();
    if (listener_.Listening()) {
        DisconnectAll();
        StopListening();
        // Port forwarding removes its mapping here when UPnP is on.
    }
    StopListening(); // also ends connections left from a failed activation
    if (started_)
        SaveSettings(*this, false); // a copy that never started saves nothing
    usersPage_.ForgetShownUser();
    users_.Clear();
    // The preview player pool is freed here.
}

void MainForm::LogEvent(std::string_view text) noexcept
{
    if (!mainThread_.TimerEnabled())
        return;
    try {
        mainThread_.RunOnMainThread([this, line = std::string(text)] {
            if (!mainThread_.TimerEnabled())
                return;
            log_.Append(ActivityLog::FormatLine(localeFormats_, Now(), line),
                        static_cast<std::size_t>(optionsPage_.MaxLogEntries()));
        });
    } catch (...) {
        // A line that cannot be recorded is dropped.
    }
}

void MainForm::AddSessionEntry(const std::shared_ptr<TContextData>& context, const TUser& user)
{
    connected_.AddSession(context, user);
    UpdateTrayStatus();
}

int MainForm::FindSessionEntry(const TContextData& context) const noexcept
{
    return connected_.FindSessionEntry(&context);
}

void MainForm::RemoveEntry(int index)
{
    connected_.RemoveEntry(index);
    UpdateTrayStatus();
}

std::shared_ptr<TContextData> MainForm::FindSessionByLogin(std::string_view login) const noexcept
{
    return connected_.FindSessionByLogin(login);
}

void MainForm::DisconnectEntry(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= connected_.Count())
        return;
    const ConnectedList::Entry entry = connected_[static_cast<std::size_t>(index)];
    std::shared_ptr<TContextData> context = entry.context;
    if (entry.IsStream())
        context = hooks_.PlayerContext ? hooks_.PlayerContext(entry.player) : nullptr;
    if (context)
        DropSession(*context);
    // An entry whose connection had already gone is removed here, so no
    // stale entry stays.
    const int left = entry.IsStream() ? connected_.FindStreamEntry(entry.player)
                                      : connected_.FindSessionEntry(entry.context.get());
    if (left >= 0)
        RemoveEntry(left);
}

void MainForm::DisconnectAll()
{
    for (std::size_t i = connected_.Count(); i > 0; --i) {
        if (i - 1 < connected_.Count())
            DisconnectEntry(static_cast<int>(i - 1));
    }
}

void MainForm::UpdateTrayStatus()
{
    const std::string count = " (" + std::to_string(connected_.Count()) + ")";
    window_.ApplicationTitle = programTitle_ + count;
    window_.TrayTip = Tr("Vornelle") + " " + programTitle_ + count;
    window_.TrayImage = connected_.Count() > 0 ? 1 : 0;
    // The scheduler's connected-users file ("VTUsers.log") is rewritten here.
    if (hooks_.PublishConnectedUsers)
        hooks_.PublishConnectedUsers(*this, connected_.Texts());
}

void MainForm::SetCommandHandler(CommandHandler handler)
{
    handler_ = handler ? std::move(handler) : CommandHandler(ReadUntilTimeout);
}

void MainForm::TCPServerConnect(const std::shared_ptr<ServedConnection>& served)
{
    served->Attach(std::make_shared<TContextData>(served));
}

void MainForm::ServeConnection(const std::shared_ptr<ServedConnection>& served)
{
    TCPServerConnect(served);
    Connection& connection = served->connection;
    try {
        while (!connection.IsClosed()) {
            const std::shared_ptr<TContextData> data = served->Data();
            if (!data)
                break;
            handler_(*this, connection, *data);
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

void MainForm::DropSession(TContextData& context) noexcept
{
    const std::shared_ptr<ServedConnection> owner = context.Owner();
    if (!owner)
        return;
    TCPServerDisconnect(*owner);
    owner->connection.Close();
}

void MainForm::TCPServerDisconnect(ServedConnection& served) noexcept
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
    try {
        if (data->IsStream) {
            if (data->Player != nullptr && hooks_.ClosePreviewStream)
                hooks_.ClosePreviewStream(*this, *data);
            return;
        }
        mainThread_.RunOnMainThread([&] {
            const int index = FindSessionEntry(*data);
            if (index >= 0)
                RemoveEntry(index);
        });
        if (hooks_.DropUserPreviews)
            hooks_.DropUserPreviews(*this, user);
        if (hooks_.RestorePlaylist) {
            if (const auto message = hooks_.RestorePlaylist(*this, *user))
                LogEvent("**** " + Format(Tr("User %0:s error updating PLG") + ". %1:s", {user->Login, *message}));
        }
    } catch (...) {
        // The session end goes on as far as it can.
    }
    LogEvent(TrFormat("User %0:s disconnected from IP %1:s.", {user->Login, peer}));
}

void MainForm::TCPServerException(ServedConnection& served, const std::exception& error) noexcept
{
    const std::shared_ptr<TContextData> data = served.Data();
    if (!data)
        return;
    try {
        LogEvent("**** " + ClassNameOf(error) + ": " + error.what());
    } catch (...) {
    }
    if (data->IsStream)
        DropSession(*data);
}

void MainForm::TCPServerListenException(const std::exception& error) noexcept
{
    try {
        std::string line = "**** Listener Thread " + ClassNameOf(error) + ": " + error.what();
        // The accepting thread must not wait for the main thread, which may
        // be joining it.
        mainThread_.Post([this, line = std::move(line)] { LogEvent(line); });
    } catch (...) {
    }
}

} // namespace zd

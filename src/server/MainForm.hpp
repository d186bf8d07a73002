#pragma once

#include "server/ActivityLog.hpp"
#include "server/Connections.hpp"
#include "server/Folders.hpp"
#include "server/Lifecycle.hpp"
#include "server/LocaleFormats.hpp"
#include "server/MainThread.hpp"
#include "server/MasterPassword.hpp"
#include "server/MessageDialog.hpp"
#include "server/OptionsPage.hpp"
#include "server/PortMapping.hpp"
#include "server/SingleInstance.hpp"
#include "server/TContextData.hpp"
#include "server/UserList.hpp"
#include "server/UsersPage.hpp"
#include "server/WindowState.hpp"

#include <cstdint>
#include <ctime>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zd {

// How the program was started.
struct StartOptions {
    std::string ProgramFolder;       // see Folders
    std::optional<std::string> ListenAddress; // --listen: bind here for this run
    std::optional<std::uint16_t> ListenPort;  // --listen with a port
    bool Headless = true;
};

// The main window object, a facade under the system's event names: it owns
// the settings (through the Options page), the users, the activity log and
// the timer, and the subsystems it delegates to: the connection side
// (Connections), the single-instance check (SingleInstance) and the order of
// start-up, periodic check and shutdown (Lifecycle).
//
// Unless stated otherwise its operations run on the main thread; connection
// threads use LogEvent, RunOnMainThread, DropSession, the page readers and
// the folders directly, and everything else inside RunOnMainThread.
class MainForm {
public:
    // The per-connection command handler; the listener calls it again and
    // again on the connection's thread until the connection is closed.
    using CommandHandler = Connections::CommandHandler;

    static constexpr std::chrono::milliseconds kTimerInterval{2000};
    static constexpr std::chrono::milliseconds kFirstTickWithoutUsers{500};
    static constexpr const char* kPortMappingDescription = "VRNZODavizi";

    // FormCreate: folders, catalogue binding, caption. Installs the default
    // command handler (reads lines, closes at the read time-out).
    MainForm(MainThread& mainThread, StartOptions options);
    ~MainForm();
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // The start-up sequence; false when the process must end (another copy
    // of this installation runs). noexcept apart from allocation.
    bool StartServer() { return lifecycle_.StartServer(); }
    // Listens on Port (or --listen) on all local addresses; on failure
    // unticks "Enable Server", logs and shows the message. noexcept apart
    // from allocation.
    void ActivateListener() { connections_.ActivateListener(); }
    // Stops listening, forgets the listener's bindings and ends every
    // connection, serving main-thread jobs until their threads finished.
    // Main thread. noexcept.
    void StopListening() noexcept { connections_.StopListening(); }
    bool Listening() const noexcept { return connections_.Listening(); }
    // The port the listener is bound to (0 when closed).
    std::uint16_t BoundPort() const noexcept { return connections_.BoundPort(); }
    // Port forwarding: adds or removes the mapping of `port` on the router
    // (TCP, internal client LocalAddress, description "VRNZODavizi").
    // Silent; true when the router took it. Main thread. noexcept.
    bool SetPortMapping(bool add, std::uint16_t port) noexcept;
    // The port the mapping is for: the bound port while listening (with
    // --listen too), else the configured one. noexcept.
    std::uint16_t MappedPort() const noexcept;
    // The periodic check (timer tick); it also joins the threads of
    // connections that ended.
    void CheckTime() { lifecycle_.CheckTime(); }
    // Shutdown: timer off, connections dropped, listener closed, settings
    // saved, accounts freed. Safe to call twice.
    void FormClose() { lifecycle_.FormClose(); }

    // Any thread.
    const Folders& GetFolders() const noexcept { return folders_; }
    const std::string& ProgramFolder() const noexcept { return folders_.ProgramFolder; }
    const std::string& RootFolder() const noexcept { return folders_.RootFolder; }
    const std::string& EngineFolder() const noexcept { return folders_.EngineFolder; }
    const std::string& DataFolder() const noexcept { return folders_.DataFolder; }
    const StartOptions& Options() const noexcept { return options_; }
    OptionsPage& Page() noexcept { return optionsPage_; }
    const OptionsPage& Page() const noexcept { return optionsPage_; }
    MainThread& Main() noexcept { return mainThread_; }
    const std::string& LocalAddress() const noexcept { return localAddress_; }
    const LocaleFormats& Locale() const noexcept { return localeFormats_; }
    // The translated program title "ZO Davizi".
    const std::string& ProgramTitle() const noexcept { return programTitle_; }

    // Runs the work on the main thread and waits (see MainThread).
    template <class Work>
    auto RunOnMainThread(Work&& work) { return mainThread_.RunOnMainThread(std::forward<Work>(work)); }

    // Appends a line to the activity log; any thread. Dropped while the
    // timer is off (start-up, a running check, shutdown). noexcept.
    void LogEvent(std::string_view text) noexcept;
    ActivityLog& Log() noexcept { return log_; }
    // "Save Log": throws FileError. "Clear Log": noexcept.
    void SaveLog(const std::string& path) const { log_.SaveTo(path); }
    void ClearLog() noexcept { log_.Clear(); }

    // Users (main thread).
    UserList& Users() noexcept { return users_; }
    UsersPage& UsersScreen() noexcept { return usersPage_; }
    std::shared_ptr<TUser> FindUser(std::string_view login) const noexcept { return users_.FindUser(login); }
    void CommitShownUser() noexcept { usersPage_.CommitShownUser(); }

    // Connected-users list (main thread).
    ConnectedList& Connected() noexcept { return connections_.List(); }
    void AddSessionEntry(const std::shared_ptr<TContextData>& context, const TUser& user)
    {
        connections_.AddSessionEntry(context, user);
    }
    int FindSessionEntry(const TContextData& context) const noexcept
    {
        return connections_.FindSessionEntry(context);
    }
    void RemoveEntry(int index) { connections_.RemoveEntry(index); }
    std::shared_ptr<TContextData> FindSessionByLogin(std::string_view login) const noexcept
    {
        return connections_.FindSessionByLogin(login);
    }
    void DisconnectEntry(int index) { connections_.DisconnectEntry(index); }
    void DisconnectAll() { connections_.DisconnectAll(); }
    void UpdateTrayStatus() { connections_.UpdateTrayStatus(); }
    WindowState& Window() noexcept { return window_; }

    // Connections.
    void SetCommandHandler(CommandHandler handler) { connections_.SetCommandHandler(std::move(handler)); }
    // Runs the session end for the context, then closes its connection;
    // errors are ignored. Any thread. noexcept.
    void DropSession(TContextData& context) noexcept { connections_.DropSession(context); }
    // The session end of a connection (nothing when its record is already
    // detached). Any thread. noexcept.
    void TCPServerDisconnect(ServedConnection& served) noexcept { connections_.TCPServerDisconnect(served); }
    // A connection's error: logged; a preview stream is dropped. noexcept.
    void TCPServerException(ServedConnection& served, const std::exception& error) noexcept
    {
        connections_.TCPServerException(served, error);
    }
    // An error of the accepting thread: logged (handed to the main thread
    // without waiting). noexcept.
    void TCPServerListenException(const std::exception& error) noexcept
    {
        connections_.TCPServerListenException(error);
    }
    // Open connections, from the listener's list under its lock. Any thread.
    std::size_t OpenConnectionCount() const { return connections_.OpenCount(); }
    // Failed logins per peer address. Any thread.
    LoginThrottle& Throttle() noexcept { return connections_.Throttle(); }

    // Hooks for the pieces that plug into the session end and the lists.
    struct Hooks {
        // Restores the playlist the user left half-saved; returns the message
        // to log ("File restored", "Restore attempt failed") when it restored
        // something or failed, nullopt when nothing was open.
        std::function<std::optional<std::string>(MainForm&, TUser&)> RestorePlaylist;
        // Serves an HTTP preview request whose first line was read, on the
        // connection's thread (the command session hands it over).
        std::function<void(MainForm&, Connection&, TContextData&, std::string_view)> PreviewRequest;
        // Closes the preview stream of a stream connection.
        std::function<void(MainForm&, TContextData&)> ClosePreviewStream;
        // Drops every preview stream of the account, highest slot first.
        std::function<void(MainForm&, const std::shared_ptr<TUser>&)> DropUserPreviews;
        // The context of a player's connection (for "Disconnect" on a stream entry).
        std::function<std::shared_ptr<TContextData>(TPlayer*)> PlayerContext;
        // Rewrites the scheduler's connected-users file with the list's texts.
        std::function<void(MainForm&, const std::vector<std::string>&)> PublishConnectedUsers;
        // Shows a message dialog; headless: title, text and detail on stderr.
        std::function<void(const MessageDialog&)> ShowMessage;
        // Asks with a message dialog whose buttons are OK/Cancel or Yes/No:
        // true for OK or Yes. Unset: the answer is Cancel / No.
        std::function<bool(const MessageDialog&)> Confirm;
        // The password dialog of the master password check.
        PasswordDialog AskPassword;
        // Shows the category picker modally: true for "OK".
        std::function<bool(CategoryPicker&)> PickCategories;
        // The restore action asked for by a second start (master password,
        // then the window comes forward); unset: the request is only noted.
        std::function<void()> Restore;
        // Sounds the beep of a second start; headless: BEL on stderr.
        std::function<void()> Beep;
        // The local clock of log lines and the periodic check (the system's
        // when unset).
        std::function<std::tm()> LocalClock;
    };
    Hooks& GetHooks() noexcept { return hooks_; }

    // The exit code the program ends with.
    int ExitCode() const noexcept { return lifecycle_.ExitCode(); }

private:
    friend class Lifecycle; // sets what start-up captures

    // The local clock of log lines and the periodic check.
    std::tm Now() const;

    MainThread& mainThread_;
    StartOptions options_;
    Folders folders_;
    std::string programTitle_;
    OptionsPage optionsPage_;
    UsersPage usersPage_;
    UserList users_;
    ActivityLog log_;
    WindowState window_;
    LocaleFormats localeFormats_;
    std::string localAddress_;
    Hooks hooks_;
    PortMapping portMapping_;
    SingleInstance instance_;
    Lifecycle lifecycle_{*this};
    Connections connections_{*this}; // last: its threads use everything above
};

} // namespace zd

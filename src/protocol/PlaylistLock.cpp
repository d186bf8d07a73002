#include "protocol/PlaylistTransfer.hpp"

#include "audio/TVRNFileStream.hpp"
#include "common/Error.hpp"
#include "common/Translate.hpp"
#include "protocol/PlaylistLock.hpp"
#include "protocol/PlaylistMerge.hpp"
#include "protocol/TargetNames.hpp"
#include "server/TUser.hpp"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace zd {
namespace {

// The accounts whose save state a connection thread works on now.
class SaveStateRegistry {
public:
    static SaveStateRegistry& Instance()
    {
        static SaveStateRegistry registry;
        return registry;
    }

    void Enter(const TUser& user)
    {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return !busy_.contains(&user); });
        busy_.insert(&user);
    }

    void Leave(const TUser& user) noexcept
    {
        {
            std::lock_guard lock(mutex_);
            busy_.erase(&user);
        }
        freed_.notify_all();
    }

    std::mutex& Mutex() noexcept { return mutex_; }
    bool IsBusy(const TUser& user) const noexcept { return busy_.contains(&user); }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::unordered_set<const TUser*> busy_;
};

// The restore itself, on the calling thread; returns the message to log.
std::string WriteBackOldLines(TUser& user, std::string message) noexcept
{
    if (user.PlaylistStream && user.PlaylistStream->HasHandle()) {
        try {
            auto& stream = *user.PlaylistStream;
            stream.SetPosition(0);
            stream.Write(JoinPlaylistLines(user.OldPlaylistLines));
            stream.Truncate();
        } catch (const std::exception&) {
            message = "Restore attempt failed";
        }
    } else {
        message.clear();
    }
    ClosePlaylist(user);
    return message;
}

void LogRestore(CommandHost& host, const TUser& user, const std::string& message) noexcept
{
    if (message.empty())
        return;
    try {
        host.Log("**** " + TrFormat("User %0:s error updating PLG", {user.Login}) + ". " + message);
    } catch (...) {
    }
}

} // namespace

SaveStateGuard::SaveStateGuard(TUser& user) : user_(user)
{
    SaveStateRegistry::Instance().Enter(user_);
}

SaveStateGuard::~SaveStateGuard()
{
    SaveStateRegistry::Instance().Leave(user_);
}

void ClosePlaylist(TUser& user) noexcept
{
    user.PlaylistOpen = false;
    if (user.PlaylistStream)
        user.PlaylistStream->Close();
    user.PlaylistStream.reset();
    user.OldPlaylistLines.clear();
    user.OldPlaylistLines.shrink_to_fit();
}

// Reads the whole file from its start. Throws FileError.
std::string ReadWholeStream(TVRNFileStream& stream)
{
    stream.SetPosition(0);
    std::string content;
    const auto size = stream.Size();
    if (size > 0)
        content.reserve(static_cast<std::size_t>(size));
    char chunk[65536];
    while (const auto got = stream.Read(chunk, sizeof chunk))
        content.append(chunk, got);
    return content;
}

// A name that is not a plain file name is refused without touching a file;
// the refusal is logged like a playlist that cannot be opened.
void LogInvalidName(CommandHost& host, const TUser& user, std::string_view name) noexcept
{
    try {
        host.Log(TrFormat("User %0:s attempt to modifiy %1:s failed.", {user.Login, std::string(name)})
                 + "\r\n     Invalid file name");
    } catch (...) {
    }
}

bool OpenPlaylistLocked(CommandHost& host, TUser& user, const std::string& path,
                        std::uint16_t mode, const PlaylistRetry& retry)
{
    std::string lastError;
    for (int attempt = 1; attempt <= retry.attempts; ++attempt) {
        try {
            user.PlaylistStream = TVRNFileStream::Create(path, mode);
            user.PlaylistOpen = true;
            return true;
        } catch (const std::exception& error) {
            lastError = ErrorText(error);
        }
        if (attempt < retry.attempts)
            std::this_thread::sleep_for(retry.pause);
    }
    host.Log(TrFormat("User %0:s attempt to modifiy %1:s failed.",
                      {user.Login, std::string(FileNamePart(path))})
             + "\r\n     " + lastError);
    return false;
}

void RestorePlaylist(CommandHost& host, TUser& user, std::string message)
{
    std::string logged;
    host.RunOnMainThread([&] { logged = WriteBackOldLines(user, message); });
    LogRestore(host, user, logged);
}

std::optional<std::string> RestorePlaylistAtSessionEnd(CommandHost& host, TUser& user)
{
    std::optional<std::string> logged;
    host.RunOnMainThread([&] {
        auto& registry = SaveStateRegistry::Instance();
        std::lock_guard lock(registry.Mutex());
        if (registry.IsBusy(user) || !user.PlaylistStream)
            return;
        auto message = WriteBackOldLines(user, "File restored");
        if (!message.empty())
            logged = std::move(message);
    });
    return logged;
}

std::optional<std::string> RestorePlaylistAtSessionEnd(MainForm& form, TUser& user)
{
    FormCommandHost host(form);
    return RestorePlaylistAtSessionEnd(host, user);
}

} // namespace zd

#include "protocol/PlaylistTransfer.hpp"

#include "audio/FileOps.hpp"
#include "audio/TVRNFileStream.hpp"
#include "common/Error.hpp"
#include "common/Numbers.hpp"
#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "net/Limits.hpp"
#include "net/ReadTimeoutScope.hpp"
#include "protocol/PlaylistMerge.hpp"
#include "protocol/TargetNames.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace zd {
namespace {

// The save state of an account is worked on by one thread at a time: the
// connection thread that handles a save or a download marks it busy, and a
// session end run from another thread (a forced disconnect) leaves a busy
// state to that thread, which always ends its save saved or written back.
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

class SaveStateGuard {
public:
    explicit SaveStateGuard(TUser& user) : user_(user) { SaveStateRegistry::Instance().Enter(user_); }
    ~SaveStateGuard() { SaveStateRegistry::Instance().Leave(user_); }
    SaveStateGuard(const SaveStateGuard&) = delete;
    SaveStateGuard& operator=(const SaveStateGuard&) = delete;

private:
    TUser& user_;
};

std::string ErrorText(const std::exception& error)
{
    return ClassNameOf(error) + ": " + error.what();
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

void LogRestore(CommandHost& host, const TUser& user, const std::string& message) noexcept
{
    if (message.empty())
        return;
    try {
        host.Log("**** " + TrFormat("User %0:s error updating PLG", {user.Login}) + ". " + message);
    } catch (...) {
    }
}

void CopyBackup(const std::string& path, std::string_view content) noexcept
{
    const std::string backupPath = BackupPathOf(path);
    try {
        // An older backup is overwritten in place and cut where the copy
        // ends: cutting a file to nothing, or deleting it, would make the
        // file system flush or free it, which costs more than the merge.
        std::unique_ptr<TVRNFileStream> backup;
        try {
            backup = TVRNFileStream::Create(backupPath, kOpenWrite | kShareExclusive);
        } catch (const std::exception&) {
            backup = TVRNFileStream::Create(backupPath, kModeCreate);
        }
        backup->Write(content);
        backup->Truncate();
    } catch (const std::exception&) {
        // A backup that cannot be made does not stop the save.
    }
}

// One save body being handled: its reply text, the old content of the open
// playlist and the lines merged but not yet written to it.
//
// The old lines are kept here as views of the content read; they become the
// user's OldPlaylistLines only when they are to be written back. No one else
// reads them meanwhile: a session end leaves a save in progress to its
// thread (SaveStateRegistry), and a save always ends with the playlist
// closed.
class BodySave {
public:
    BodySave(CommandHost& host, TUser& user, const std::string& folder, const PlaylistRetry& retry)
        : host_(host), user_(user), folder_(folder), retry_(retry) {}
    BodySave(const BodySave&) = delete;
    BodySave& operator=(const BodySave&) = delete;

    // A save left by an exception (an allocation failure) still ends written
    // back: the user's OldPlaylistLines are filled only when writing back, so
    // a playlist left open here would be cut to nothing by the session end.
    ~BodySave()
    {
        if (!user_.PlaylistStream)
            return;
        try {
            WriteBack("File restored");
        } catch (...) {
            ClosePlaylist(user_);
        }
    }

    std::string Run(std::string_view body)
    {
        for (const auto line : SplitPlaylistLines(PlaylistBodyText(body))) {
            if (!HandleLine(ClassifyBodyLine(line)))
                break;
        }
        Finish();
        return reply_;
    }

private:
    static constexpr std::size_t kFlushSize = 65536;

    // False when no further line is handled.
    bool HandleLine(const BodyLine& line)
    {
        if (line.kind == BodyLineKind::Header) {
            OpenHeader(line.rest);
            return true;
        }
        if (!user_.PlaylistStream || line.number < 0)
            return true;
        try {
            auto cursor = Cursor();
            CopyOldLinesUpTo(cursor, line.number, pending_);
            if (line.kind == BodyLineKind::EndMarker) {
                Flush();
                user_.PlaylistStream->Truncate();
                ended_ = true;
                if (TextToIntDef0(line.rest) == user_.LinesWritten) {
                    reply_ = "OK";
                    host_.Log(TrFormat("User %0:s saved %1:s", {user_.Login, name_}));
                } else {
                    reply_ = std::string(line.rest);
                    WriteBack("File restored");
                }
                return false;
            }
            WriteClientLine(cursor, line.rest, pending_);
            if (pending_.size() >= kFlushSize)
                Flush();
        } catch (const std::exception& error) {
            reply_ = ErrorText(error);
            WriteBack(reply_);
            return false;
        }
        return true;
    }

    void OpenHeader(std::string_view name)
    {
        // A playlist left open by an earlier header of this body gets its old
        // content back before anything else is looked at, so that lines
        // meant for a later playlist can never land in it.
        if (user_.PlaylistOpen)
            WriteBack("File restored");
        else
            ClosePlaylist(user_);
        name_ = std::string(name);
        user_.OpenPlaylistPath = JoinFolderAndName(folder_, name_);
        if (!IsPlaylistFileName(name)) {
            reply_ = "1";
            LogInvalidName(host_, user_, name);
            return;
        }
        if (!FileExistsMarked(user_.OpenPlaylistPath)) {
            reply_ = "1";
            return;
        }
        if (!OpenPlaylistLocked(host_, user_, user_.OpenPlaylistPath,
                                kOpenReadWrite | kShareExclusive, retry_)) {
            reply_ = "0";
            return;
        }
        try {
            auto& stream = *user_.PlaylistStream;
            oldContent_ = ReadWholeStream(stream);
            // The backup is taken from the content read under the lock, so it
            // is exactly what this save replaces.
            if (oldContent_.size() > 100)
                CopyBackup(user_.OpenPlaylistPath, oldContent_);
            oldLines_ = SplitPlaylistLines(oldContent_);
            auto cursor = Cursor();
            ResetMergeCursor(cursor);
            // The merged lines are written from the start over the old
            // content and the file is cut where they end. Cutting a file to
            // nothing first would make the file system flush it at close,
            // which costs more than the whole merge.
            stream.SetPosition(0);
        } catch (const std::exception& error) {
            reply_ = ErrorText(error);
            ClosePlaylist(user_);
            return;
        }
        ended_ = false;
        host_.Log(TrFormat("User %0:s opened %1:s", {user_.Login, name_}));
    }

    void Flush()
    {
        if (!pending_.empty() && user_.PlaylistStream)
            user_.PlaylistStream->Write(pending_);
        pending_.clear();
    }

    void Finish()
    {
        if (!user_.PlaylistStream)
            return;
        if (ended_) {
            ClosePlaylist(user_);
            return;
        }
        // The body ended without its end marker: the playlist would hold only
        // what was merged so far, so its previous content is written back.
        WriteBack("File restored");
    }

    MergeCursor Cursor() noexcept
    {
        return {oldLines_, user_.OldLineIndex, user_.BlockCount, user_.LastBlock, user_.LinesWritten};
    }

    // Writes the open playlist's old content back (RestorePlaylist).
    void WriteBack(const std::string& message)
    {
        pending_.clear();
        user_.OldPlaylistLines.assign(oldLines_.begin(), oldLines_.end());
        RestorePlaylist(host_, user_, message);
        oldLines_.clear();
        oldContent_.clear();
    }

    CommandHost& host_;
    TUser& user_;
    const std::string& folder_;
    const PlaylistRetry& retry_;
    std::string reply_ = "Size=0";
    std::string name_;
    std::string pending_;
    std::string oldContent_;
    std::vector<std::string_view> oldLines_;
    bool ended_ = false;
};

} // namespace

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
    auto work = [&] { logged = WriteBackOldLines(user, message); };
    try {
        host.RunOnMainThread(work);
    } catch (const std::exception&) {
        // The main thread has ended (shutdown): this thread owns the state.
        work();
    }
    LogRestore(host, user, logged);
}

std::optional<std::string> RestorePlaylistAtSessionEnd(CommandHost& host, TUser& user)
{
    std::optional<std::string> logged;
    auto work = [&] {
        auto& registry = SaveStateRegistry::Instance();
        std::lock_guard lock(registry.Mutex());
        if (registry.IsBusy(user) || !user.PlaylistStream)
            return;
        auto message = WriteBackOldLines(user, "File restored");
        if (!message.empty())
            logged = std::move(message);
    };
    try {
        host.RunOnMainThread(work);
    } catch (const std::exception&) {
        work();
    }
    return logged;
}

std::optional<std::string> RestorePlaylistAtSessionEnd(MainForm& form, TUser& user)
{
    FormCommandHost host(form);
    return RestorePlaylistAtSessionEnd(host, user);
}

std::string SavePlaylistBody(CommandHost& host, TUser& user, const std::string& playlistFolder,
                             std::string_view body, const PlaylistRetry& retry)
{
    SaveStateGuard guard(user);
    BodySave save(host, user, playlistFolder, retry);
    return save.Run(body);
}


void GetPlaylist(CommandHost& host, Connection& connection, TUser& user,
                 const std::string& playlistFolder, std::string_view name,
                 const PlaylistRetry& retry)
{
    const std::string path = JoinFolderAndName(playlistFolder, name);
    if (!IsPlaylistFileName(name)) {
        LogInvalidName(host, user, name);
        connection.WriteLine("-1");
        return;
    }
    if (!FileExistsMarked(path)) {
        connection.WriteLine("-1");
        return;
    }
    std::string content;
    {
        SaveStateGuard guard(user);
        ClosePlaylist(user);
        if (OpenPlaylistLocked(host, user, path, kOpenRead | kShareDenyWrite, retry)) {
            try {
                content = ReadWholeStream(*user.PlaylistStream);
            } catch (const std::exception&) {
                content.clear();
            }
        }
        ClosePlaylist(user);
    }
    if (content.empty()) {
        connection.WriteLine("-1");
        return;
    }
    bool sending = false;
    std::string reply = "-1";
    try {
        connection.WriteLine(std::to_string(content.size()));
        const auto answer = connection.ReadLine();
        if (answer && *answer == "OK") {
            sending = true;
            connection.Write(content);
            host.Log(TrFormat("User %0:s retrieving %1:s", {user.Login, std::string(name)}));
            return;
        }
    } catch (const std::exception& error) {
        host.Log(TrFormat("User %0:s error retrieving %1:s", {user.Login, std::string(name)})
                 + "\n\r" + error.what());
        reply = sending ? "OK" : "-1";
    }
    try {
        connection.WriteLine(reply);
    } catch (const std::exception&) {
    }
}

namespace {

// Receives exactly `size` bytes, each wait for more bounded by the body
// time-out (a slow link may take longer in all), growing the buffer only as
// bytes arrive. False when they do not all arrive.
bool ReceiveBody(Connection& connection, std::size_t size, std::string& body,
                 std::chrono::milliseconds timeout)
{
    const ReadTimeoutScope bodyTimeout(connection, timeout);
    constexpr std::size_t kChunk = 65536;
    body.clear();
    body.reserve(std::min(size, std::size_t{1} << 20));
    try {
        while (body.size() < size) {
            const auto have = body.size();
            body.resize(have + std::min(kChunk, size - have));
            const auto got = connection.ReadSome(
                std::as_writable_bytes(std::span(body.data() + have, body.size() - have)));
            body.resize(have + got);
            if (got == 0)
                return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace

void WritePlaylist(CommandHost& host, Connection& connection, TUser& user,
                   const std::string& playlistFolder, const PlaylistRetry& retry,
                   std::chrono::milliseconds bodyTimeout)
{
    const auto sizeLine = connection.ReadLine();
    if (!sizeLine)
        return;
    const auto size = TextToIntDef0(*sizeLine);
    if (size <= 0)
        return;
    connection.WriteLine("OK");
    std::string body;
    if (!ReceiveBody(connection, static_cast<std::size_t>(size), body, bodyTimeout))
        return;
    const std::string reply = SavePlaylistBody(host, user, playlistFolder, body, retry);
    try {
        connection.WriteLine(reply);
    } catch (const std::exception&) {
    }
}

void HandleGetPlaylist(Session& session, std::string_view name)
{
    if (!session.context.User)
        return;
    FormCommandHost host(session.form);
    GetPlaylist(host, session.connection, *session.context.User, PlaylistFolder(), name);
}

void HandleWritePlaylist(Session& session, std::string_view)
{
    if (!session.context.User)
        return;
    FormCommandHost host(session.form);
    WritePlaylist(host, session.connection, *session.context.User, PlaylistFolder());
}

} // namespace zd

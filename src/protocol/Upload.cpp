#include "protocol/Upload.hpp"

#include "audio/FileOps.hpp"
#include "audio/NativePath.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/TempFiles.hpp"
#include "common/Error.hpp"
#include "common/MarkedText.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"
#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "net/Limits.hpp"
#include "net/ReadTimeoutScope.hpp"
#include "protocol/TargetNames.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

#include <array>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace zd {
namespace {

void WriteLineIgnoringErrors(Connection& connection, std::string_view line) noexcept
{
    try {
        connection.WriteLine(line);
    } catch (...) {
    }
}

struct Transfer {
    std::string result;
    std::int64_t written = 0;
};

// Reads and discards what is left of the announced bytes, so the next
// command line is read where the client's next command starts.
void Drain(Connection& connection, std::int64_t left, std::span<std::byte> buffer) noexcept
{
    try {
        while (left > 0) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
            const auto got = connection.ReadSome(buffer.first(want));
            if (got == 0)
                return;
            left -= static_cast<std::int64_t>(got);
        }
    } catch (...) {
    }
}

// Receives `count` bytes and writes them to the file as they arrive.
Transfer StreamToFile(Connection& connection, TVRNFileStream& file, std::int64_t count)
{
    Transfer transfer;
    std::vector<std::byte> buffer(limits::kUploadChunk);
    std::int64_t received = 0;
    while (received < count) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(count - received, static_cast<std::int64_t>(buffer.size())));
        std::size_t got = 0;
        try {
            got = connection.ReadSome(std::span(buffer).first(want));
        } catch (const std::exception& error) {
            transfer.result = ErrorText(error);
            return transfer;
        }
        if (got == 0) {
            transfer.result = "0";
            return transfer;
        }
        received += static_cast<std::int64_t>(got);
        try {
            file.Write(buffer.data(), got);
        } catch (const std::exception& error) {
            transfer.result = ErrorText(error);
            transfer.written = -1;
            Drain(connection, count - received, buffer);
            return transfer;
        }
        transfer.written += static_cast<std::int64_t>(got);
    }
    transfer.result = "OK";
    return transfer;
}

// The targets of the uploads running now. A second upload to the same
// target would write the first one's temporary file, so it is refused while
// the first runs.
class TargetClaim {
public:
    explicit TargetClaim(const std::string& target)
        : key_(AsciiLower(NativePathOf(target).value_or(target)))
    {
        std::lock_guard lock(Mutex());
        claimed_ = Targets().insert(key_).second;
    }
    ~TargetClaim()
    {
        if (!claimed_)
            return;
        std::lock_guard lock(Mutex());
        Targets().erase(key_);
    }
    TargetClaim(const TargetClaim&) = delete;
    TargetClaim& operator=(const TargetClaim&) = delete;

    bool Held() const noexcept { return claimed_; }

private:
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::set<std::string>& Targets()
    {
        static std::set<std::string> claimed;
        return claimed;
    }

    std::string key_;
    bool claimed_ = false;
};

void LogFailure(CommandHost& host, const TUser& user, const std::string& target,
                std::int64_t count, std::int64_t written, const std::string& result)
{
    host.Log(TrFormat("User %0:s attempt to save %1:s failed.", {user.Login, target})
             + Format("%0:d/%1:d", {count, written}) + "\r\n     " + result);
}

} // namespace

std::string UploadTargetPath(std::string_view folder, std::string_view name)
{
    return JoinFolderAndName(folder, name);
}

void ReceiveUpload(CommandHost& host, Connection& connection, const TUser& user,
                   std::string_view folder, std::string_view name)
{
    ReadTimeoutScope timeout(connection, limits::kUploadTimeout);
    const std::string target = UploadTargetPath(folder, name);
    const std::string temporary = TempPathOf(target);

    const auto countLine = connection.ReadLine();
    const std::int64_t count = countLine ? TextToIntDef0(*countLine) : 0;
    if (count <= 0)
        return;
    // A name like a temporary file would be removed at the next start.
    if (!IsPlainFileName(name) || IsTempName(name)) {
        const std::string result = "Invalid file name";
        WriteLineIgnoringErrors(connection, result);
        LogFailure(host, user, target, -1, 0, result);
        return;
    }
    const TargetClaim claim(target);
    if (!claim.Held()) {
        const std::string result = kFileInUseText;
        WriteLineIgnoringErrors(connection, result);
        LogFailure(host, user, target, -1, 0, result);
        return;
    }

    // The bytes go to a temporary file beside the target, which replaces
    // the target only once every byte is on the disk: a failure or a crash
    // at any point leaves the previous file as it was.
    Transfer transfer;
    std::int64_t logged = count;
    bool created = false;
    if (auto file = OpenWideFileStreamRetry(temporary, kUploadCreateAttempts, kModeCreate)) {
        created = true;
        WriteLineIgnoringErrors(connection, "OK");
        transfer = StreamToFile(connection, *file, count);
        if (transfer.result == "OK") {
            try {
                file->Flush();
            } catch (const std::exception& error) {
                transfer.result = ErrorText(error);
            }
        }
        file->Close();
        if (transfer.result == "OK" && !ReplaceFileMarked(temporary, target))
            transfer.result = "Cannot rename file \"" + temporary + "\" to \"" + target + "\"";
    } else {
        transfer.result = LastFileError();
        logged = -1;
    }
    // A failed upload's bytes go before the client hears of it, giving the
    // space of a full disk back at once.
    if (transfer.result != "OK" && created)
        DeleteFileMarked(temporary);
    WriteLineIgnoringErrors(connection, transfer.result);

    if (transfer.result == "OK") {
        host.Log(TrFormat("User %0:s saved %1:s", {user.Login, std::string(name)}));
        return;
    }
    LogFailure(host, user, target, logged, transfer.written, transfer.result);
}

void HandleWriteVoiceTrack(Session& session, std::string_view name)
{
    if (!session.context.User)
        return;
    FormCommandHost host(session.form);
    ReceiveUpload(host, session.connection, *session.context.User, VoiceTrackFolder(), name);
}

void HandleWritePlaylistFile(Session& session, std::string_view name)
{
    if (!session.context.User)
        return;
    FormCommandHost host(session.form);
    ReceiveUpload(host, session.connection, *session.context.User, PlaylistWriteFolder(), name);
}

} // namespace zd

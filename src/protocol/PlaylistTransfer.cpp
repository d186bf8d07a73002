#include "protocol/PlaylistTransfer.hpp"

#include "audio/FileOps.hpp"
#include "audio/TVRNFileStream.hpp"
#include "common/Error.hpp"
#include "common/Numbers.hpp"
#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "net/Limits.hpp"
#include "net/ReadTimeoutScope.hpp"
#include "protocol/PlaylistLock.hpp"
#include "protocol/PlaylistMerge.hpp"
#include "protocol/TargetNames.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

#include <algorithm>

namespace zd {

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
    // A body beyond the cap is never accepted: no "OK", so the client sends
    // nothing, and no reply, as for a body that did not arrive.
    if (size <= 0 || static_cast<std::uint64_t>(size) > limits::kMaxPlaylistBody)
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

#pragma once

#include "net/Limits.hpp"
#include "protocol/CommandHost.hpp"
#include "protocol/Session.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zd {

class TUser;

// How often and how far apart the playlist opener tries.
struct PlaylistRetry {
    int attempts = 15;
    std::chrono::milliseconds pause{1000};
};

// Opens the playlist in `mode` with up to retry.attempts tries, pausing after
// each failed one; on success the file becomes the user's PlaylistStream,
// PlaylistOpen is set and the result is true. After the last failure logs
// "User %0:s attempt to modifiy %1:s failed." with the last error and gives
// false. Never throws apart from allocation.
bool OpenPlaylistLocked(CommandHost& host, TUser& user, const std::string& path,
                        std::uint16_t mode, const PlaylistRetry& retry = {});

// Writes the user's old playlist lines back over the open playlist (when
// there are any), closes it and drops the old lines; logs
// "User %0:s error updating PLG. %1:s" with the message when something was
// written back ("Restore attempt failed" when writing failed). Runs the work
// on the main thread. Never throws apart from allocation.
void RestorePlaylist(CommandHost& host, TUser& user, std::string message);

// The session end of a logged-in connection: restores a playlist the user
// left half-saved, on the main thread, and returns the message the session
// end logs ("File restored", or "Restore attempt failed"); nullopt when no
// playlist was open. While another thread is still handling a save of this
// user, that thread ends the save itself (saved or written back) and this
// does nothing. Never throws apart from allocation.
std::optional<std::string> RestorePlaylistAtSessionEnd(MainForm& form, TUser& user);
std::optional<std::string> RestorePlaylistAtSessionEnd(CommandHost& host, TUser& user);

// Handles the lines of a received save body for the user, the playlists
// named in headers being taken from `playlistFolder` (ends with a
// separator). Returns the reply text. Never throws apart from allocation.
std::string SavePlaylistBody(CommandHost& host, TUser& user, const std::string& playlistFolder,
                             std::string_view body, const PlaylistRetry& retry = {});

// "GetPLG=" + name: sends the playlist's size, and its bytes once the client
// answers "OK"; "-1" for a missing, locked, empty or refused playlist.
// Throws what the connection throws outside the guarded exchange.
void HandleGetPlaylist(Session& session, std::string_view name);

// "WritePLG=": reads the size line and the body and saves the playlists it
// names block by block; replies with the result text.
void HandleWritePlaylist(Session& session, std::string_view argument);

// The same over a given host and folder, for the handlers and the tests.
void GetPlaylist(CommandHost& host, Connection& connection, TUser& user,
                 const std::string& playlistFolder, std::string_view name,
                 const PlaylistRetry& retry = {});
void WritePlaylist(CommandHost& host, Connection& connection, TUser& user,
                   const std::string& playlistFolder, const PlaylistRetry& retry = {},
                   std::chrono::milliseconds bodyTimeout = limits::kPlaylistBodyTimeout);

} // namespace zd

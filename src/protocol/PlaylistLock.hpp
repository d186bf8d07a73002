#pragma once

#include <string>
#include <string_view>

namespace zd {

class CommandHost;
class TUser;
class TVRNFileStream;

// What the playlist download and the save share: the per-account save state
// and the open playlist it holds.

// Marks the account's save state busy for the guard's life: one connection
// thread at a time works on it, and a session end run from another thread
// (a forced disconnect) leaves a busy state to that thread, which always
// ends its save saved or written back.
class SaveStateGuard {
public:
    explicit SaveStateGuard(TUser& user);
    ~SaveStateGuard();
    SaveStateGuard(const SaveStateGuard&) = delete;
    SaveStateGuard& operator=(const SaveStateGuard&) = delete;

private:
    TUser& user_;
};

// Closes the user's open playlist and drops its old lines. noexcept.
void ClosePlaylist(TUser& user) noexcept;

// Reads the whole file from its start. Throws FileError.
std::string ReadWholeStream(TVRNFileStream& stream);

// Logs the refusal of a name that is not a plain file name, like a playlist
// that cannot be opened. noexcept.
void LogInvalidName(CommandHost& host, const TUser& user, std::string_view name) noexcept;

} // namespace zd

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// The scheduler's shared files in its data and playlist folders (folders of
// the current SchedulerSettings snapshot).

// The names (without folder) of the ordinary files "*.plg" in the playlist
// folder, in directory order; hidden entries and folders are left out. A
// missing folder gives an empty list. Never throws apart from allocation.
std::vector<std::string> ListPlaylists();

// The category name of one line of "Categories.dat" or "Spots.dat": the text
// before the first comma; for a line that begins with `"`, the text up to
// and including the `"` that is followed by a comma (quotes kept). nullopt
// for a line without such a comma. noexcept apart from allocation.
std::optional<std::string> CategoryNameOfLine(std::string_view line);

// The names of "Spots.dat" (spots) or "Categories.dat" in the data folder,
// in file order; an unreadable file gives an empty list. Never throws apart
// from allocation.
std::vector<std::string> ReadCategoryNames(bool spots);

// The connected-users file "VTUsers.log" in the playlist folder.
std::string ConnectedUsersFilePath();

// True when the connected-users file exists and cannot be opened for
// reading with exclusive sharing within 3 attempts, 500 ms apart: the
// scheduler holds it while a local user edits playlists. A file that opens
// is closed again at once. Any thread. Never throws.
bool IsSchedulerEditing() noexcept;

// The file content for the entries: UTF-16LE with the byte-order mark
// FF FE, each entry followed by CR LF. Never throws apart from allocation.
std::string ConnectedUsersFileBytes(const std::vector<std::string>& entries);

// Rewrites the connected-users file with the entries when it exists (it is
// never created); up to 3 attempts, 250 ms apart; failures are ignored.
// Main thread. Never throws.
void PublishConnectedUsers(const std::vector<std::string>& entries) noexcept;

} // namespace zd

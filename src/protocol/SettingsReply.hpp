#pragma once

#include "protocol/Session.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

struct LocaleFormats;
struct SchedulerSettings;
class TUser;

// The colour part of the reply: the content of "colors.dat", nullopt when
// the file does not exist (an unreadable file gives "Error>" and the reason).
using ColorsContent = std::optional<std::string>;

// The user's permission line: the switches FullInsert, VTMarkersOnly,
// MoveTracks, SpotDelete, Separation, TimingTool, LocalTracks and DSP, the
// scheduler's value 58, each "0" or "1", then the voice-track length limit
// padded to three digits when LimitVT is on, else "000". Never throws apart
// from allocation.
std::string PermissionLine(const TUser& user, bool value58IsOne, std::string_view vtLimitText);

// What the reply tells of the user: the permission line and the seven hour
// lines, Monday first.
struct UserGrant {
    std::string permissions;
    std::vector<std::string> hours;
};
UserGrant GrantOf(const TUser& user, bool value58IsOne, std::string_view vtLimitText);

// The whole "Settings" reply as it goes on the wire: the scheduler values,
// the voice-track folder, the locale's formats, the permission and hour
// lines, the colours (unchanged, no line end added; an empty line when the
// file is missing), the playlist count and the names (UTF-8 as listed from
// the folder, sent as marked text). Every other item ends in CR LF. Never
// throws apart from allocation.
std::string BuildSettingsReply(const SchedulerSettings& scheduler, const LocaleFormats& locale,
                               const UserGrant& grant, const ColorsContent& colors,
                               const std::vector<std::string>& playlists);

// "colors.dat" in the data folder (Windows-form folder ending in "\").
ColorsContent ReadColors(const std::string& dataFolder);

// "Settings": gathers the current values (the user's switches on the main
// thread, the playlist names afresh) and writes the reply in one burst.
// Throws SocketError when the connection fails.
void HandleSettings(Session& session, std::string_view argument);

} // namespace zd

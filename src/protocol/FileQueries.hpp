#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "protocol/Session.hpp"

namespace zd {

// The file commands of a logged-in session: "Exists=", "FileCheck=",
// "FileHint=", "Scheduled=" and "WriteTag=". File names come as marked text.
// Each handler turns file failures into its reply words; only connection
// errors (and a tag name of fewer than 2 characters in "WriteTag=") escape.

void HandleExists(Session& session, std::string_view argument);
void HandleFileCheck(Session& session, std::string_view argument);
void HandleFileHint(Session& session, std::string_view argument);
void HandleScheduled(Session& session, std::string_view argument);
void HandleWriteTag(Session& session, std::string_view argument);

// The reply block of a "FileCheck=" list line at the packed DOS date-time
// now: for each item but the last, "0,0,0,0" for a missing file (or a name
// that is not a client's file name, see IsClientFileName), the marker
// line "Duration,Cue,Segue,Intro" (Intro "-1" when absent) for a file
// written within about the last week, an empty line for older files; each
// line ends in CR LF. Empty for a list of fewer than 2 items. Never throws
// apart from allocation.
std::string FileCheckReply(std::string_view listLine, std::int64_t now);

// The same reply handed to `line` one line at a time, item by item.
void FileCheckReplyTo(std::string_view listLine, std::int64_t now, const std::function<void(std::string&&)>& line);

// The marker line (without CR LF) of one file, as in FileCheckReply.
std::string FileCheckLine(std::string_view markedName, std::int64_t now);

// Changes the 72-byte scheduling history (18 little-endian DOS date-times,
// newest first) for mode "1" (add time in its place, the oldest drops out)
// or "2" (remove the entry nearest to time, less than 2048 apart, the newer
// one on a tie; an empty slot 0x00210000 comes in at the end). True when
// the history changed. noexcept.
bool ChangeScheduledHistory(std::string& history, std::string_view mode, std::uint32_t time) noexcept;

// True for the audio types of the duration facade's table (not playlists):
// the only files whose tags clients may write. noexcept apart from allocation.
bool IsTaggableAudioFile(std::string_view markedName);

} // namespace zd

#pragma once

#include <cstdint>
#include <string>

namespace zd {

class TVRNFileStream;

// Play lengths of playlist files: the sum of the entries' lengths, taken from
// the lengths written in the list or, where none is written, from the
// entries' own files through the duration facade. Entries are resolved
// against the list's folder. A list reached through nested lists is read
// only down to MaxPlaylistDepth (a list that names itself counts -1 there).

// Deepest nesting of playlists that is followed.
inline constexpr int MaxPlaylistDepth = 8;

// Length in ms of an ".m3u" list of that marked name; 0 when none (an
// unreadable or empty list). depth: how many lists lead to this one. noexcept
// apart from allocation.
std::int64_t ReadM3U(const std::string& markedName, int depth = 0);

// Length in ms of a ".pls" list; read as an M3U list when it has no "File1"
// line. noexcept apart from allocation.
std::int64_t ReadPLS(const std::string& markedName, int depth = 0);

// The duration-facade readers (the stream is not used: the list is read whole).
std::int64_t M3UDurationOf(const std::string& markedName, TVRNFileStream* stream);
std::int64_t PLSDurationOf(const std::string& markedName, TVRNFileStream* stream);

} // namespace zd

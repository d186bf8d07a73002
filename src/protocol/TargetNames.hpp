#pragma once

#include <string>
#include <string_view>

namespace zd {

// A name a client sends for a playlist or an upload target must be a plain
// file name: not empty, not "." or "..", and without "\", "/", ":" or a NUL
// byte, so that it can never reach outside its folder. noexcept.
bool IsPlainFileName(std::string_view name) noexcept;

// A plain file name that ends in ".plg" (any letter case): the only names
// "GetPLG=" and "WritePLG=" reach, so other files of the playlist folder
// (the connected-users file, backups) are never served or written. noexcept.
bool IsPlaylistFileName(std::string_view name) noexcept;

// The path with the extension of its file-name part replaced by ".bak"
// (appended when the name has none). Windows-form or native paths. Never
// throws apart from allocation.
std::string BackupPathOf(std::string_view path);

// A folder and a client's file name joined as wide text and given back in
// marked form, so that a marked name after a plain folder (or the reverse)
// names the right file. Never throws apart from allocation.
std::string JoinFolderAndName(std::string_view folder, std::string_view name);

// The file-name part of a Windows-form or native path.
std::string_view FileNamePart(std::string_view path) noexcept;

} // namespace zd

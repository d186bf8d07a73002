#pragma once

#include <string>
#include <string_view>

namespace zd {

// File operations by marked name (see NativePath.hpp). They report failure
// only by their result and never throw apart from allocation.

// True when a directory entry of that name exists and is not a folder.
bool FileExistsMarked(std::string_view markedName);

// Deletes the file; true on success. A folder, a missing file or a file that
// another handle holds locked (shared or not) gives false.
bool DeleteFileMarked(std::string_view markedName);

// Moves the file to the new name (also into another folder or file system);
// true on success. Fails when the new name exists (never overwrites), when
// the old name is missing or a folder, or when another handle holds it locked.
// A change of letter case only renames the file.
bool RenameFileMarked(std::string_view oldMarkedName, std::string_view newMarkedName);

// True when the lower-cased extension is ".m3u", ".pls", ".asx", ".exe",
// ".bat" or ".cmd": files the tag store never writes into.
bool PlaylistOrProgram(std::string_view markedName);

// The extension from the last dot on (dot included) of the file-name part,
// ASCII letters lower-cased; "" when there is none.
std::string ExtensionLower(std::string_view name);

// Resolves an entry of a playlist file against the list file's folder (both
// Windows-form names). An entry of more than one character whose second
// character is not ':' and that does not begin with two backslashes gets:
// the list file's drive in front when it begins with a backslash; the list
// file's folder in place of a leading ".\"; that folder's parent in place of
// a leading "..\"; else the folder in front. When the file so named does not
// exist, the entry is returned unchanged.
std::string ResolveRelativePath(std::string_view listFile, std::string_view entry);

} // namespace zd

#pragma once

#include <string>
#include <string_view>

namespace zd {

// Files written under a temporary name beside their target and renamed
// over it only when complete, so a crash or a failure at any point leaves
// the previous file as it was. The temporary name is the target's name with
// ".zdpart" appended.

inline constexpr std::string_view kTempSuffix = ".zdpart";

// The temporary name of a target (Windows-form or native). Never throws
// apart from allocation.
std::string TempPathOf(std::string_view target);

// True when a file name has the temporary suffix (any letter case). noexcept.
bool IsTempName(std::string_view name) noexcept;

// Renames the complete file over the target (the file layer's names) and
// syncs the folder, so the new name survives a power loss. False (nothing
// changed) when a name names no file, the target is a folder, or another
// handle holds a lock on the target (it is in use, as on Windows). Never
// throws apart from allocation.
bool ReplaceFileMarked(std::string_view completeName, std::string_view targetName);

// Removes the temporary files a crash left in the folder (Windows-form or
// native); returns how many went. Never throws apart from allocation.
int RemoveTempFiles(std::string_view folder);

} // namespace zd

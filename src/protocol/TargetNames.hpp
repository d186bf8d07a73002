#pragma once

#include <string>
#include <string_view>

namespace zd {

// A name a client sends for a playlist or an upload target must be a plain
// file name: not empty, not "." or "..", and without "\", "/", ":" or a NUL
// byte, so that it can never reach outside its folder. noexcept.
bool IsPlainFileName(std::string_view name) noexcept;

// The path with the extension of its file-name part replaced by ".bak"
// (appended when the name has none). Windows-form or native paths. Never
// throws apart from allocation.
std::string BackupPathOf(std::string_view path);

// The file-name part of a Windows-form or native path.
std::string_view FileNamePart(std::string_view path) noexcept;

} // namespace zd

#pragma once

#include "protocol/Session.hpp"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace zd {

enum class CommandMatch {
    WholeLine,  // the whole trimmed line equals the word, letter case ignored
    Prefix,     // the first word-length characters equal the word, letter case ignored
};

// One row of the command table of a logged-in session.
struct DispatchRow {
    std::string_view word;
    CommandMatch match;
    std::size_t argumentFirst;   // 1-based character position; 0 = no argument
    std::size_t argumentMax;     // at most this many characters
    CommandHandler handler;      // nullptr: not served, answered as unknown
};

// Longest argument of the rows that run "to end".
inline constexpr std::size_t ToEnd = 65535;

// The table in its order (first match wins). noexcept.
std::span<const DispatchRow> DispatchTable() noexcept;

// The first row matching the trimmed line, or nullptr. noexcept.
const DispatchRow* FindCommand(std::string_view line) noexcept;

// The row's argument cut from the trimmed line by character position.
std::string_view CommandArgument(const DispatchRow& row, std::string_view line) noexcept;

// The reply to a line that no served row matches: "What> " and the first
// 20 characters of the line.
std::string UnknownCommandReply(std::string_view line);

// Runs the command of a logged-in session, or answers an unknown or not yet
// served command with UnknownCommandReply. Throws what the handler or the
// connection throws (SocketError, ConnectionClosedError ...).
void DispatchCommand(Session& session, std::string_view line);

} // namespace zd

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// Text helpers on 8-bit texts (plain or marked). noexcept apart from
// allocation unless said.

// Trims spaces and control characters (bytes up to 0x20) at both ends.
std::string_view TrimText(std::string_view text) noexcept;

// ASCII letters change case; every other byte stays as it is.
constexpr char AsciiLower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiUpper(char c) noexcept
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// Equal without regard to the case of ASCII letters. noexcept.
bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) noexcept;

// Clears the list and adds the pieces between single delimiters: ";a" gives
// "" and "a"; "a;;b" gives "a", "" and "b"; "a;" gives only "a"; an empty
// text gives no piece.
void BreakAtChar(std::vector<std::string>& list, std::string_view text, char delimiter);

// The fields of a text "A - B - C".
struct TDashFields {
    std::string First;
    std::string Second;
    std::string Third;
};
// No " - " gives First "" and Second the whole text; one gives First before
// it and Second (up to 255 bytes) after it; a second " - " moves the trimmed
// text after it (up to 255 bytes) into Third and cuts Second before it.
TDashFields DashFields(std::string_view text);

// The file name of a Windows-form or native path without folder and
// extension; a marked path gives a marked (or plain, when ASCII) result.
std::string BaseNameOf(std::string_view path);

// The transition caption of a length in milliseconds through the message
// catalogue: "" for 0 (or less), "Cold" up to 900, "Short Fade" up to 1400,
// "Long Fade" from 4000 on, else "Fade".
std::string TransitionName(std::int64_t milliseconds);

// The captions of the message dialogs' kinds through the message catalogue:
// "Information", "Warning", "Error".
enum class TMessageKind { Information, Warning, Error };
std::string MessageKindCaption(TMessageKind kind);

// IP restriction test shared with the access rules: without "*" exact,
// case-sensitive equality; with "*" the text before the first "*" must equal
// the start of the address, anything may follow.
bool IpMatches(std::string_view pattern, std::string_view ip) noexcept;

// A text a client chose, made safe for a log line, the connected-users list
// or a shared file: every control character (below 0x20, and 0x7F except as
// the marked-text byte at the start) becomes "?", so no client can start a
// line of its own or steer a terminal.
std::string ClientText(std::string_view text);

// Every byte below 0x20 of a log line becomes "?", except the system's own
// break to an indented second line (CR LF and five spaces).
std::string WithoutLineControls(std::string_view text);

} // namespace zd

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zd {

// A "Search=" request: a comma list (quotes honoured, an unquoted space also
// separates items). Items 1 to 3 are positional: the database name, the
// braced flag and the play time as a packed DOS date-time; the others are
// key=value pairs, keys compared without regard to letter case. A missing or
// empty value does not filter; unknown keys are ignored.
struct SearchRequest {
    std::string Database;         // marked text
    bool Braced = false;          // "{name}.dat"
    std::uint32_t PlayTime = 0;   // packed DOS date-time

    // "A", "T", "B", "G", "M": the text must contain the value (marked text).
    std::string Artist, Title, Album, Genre, Mood;
    // "FY"/"TY", "FD"/"TD" (ms, with kDurationAllowanceMs), "FB"/"TB", "FR"/"TR".
    std::optional<std::int64_t> FromYear, ToYear, FromDuration, ToDuration;
    std::optional<std::int64_t> FromBitRate, ToBitRate, FromRating, ToRating;
    // "O", "E", "D": must be equal.
    std::optional<std::int64_t> Tempo, Energy, Era;
    // "EN": the transition caption must equal it (marked text).
    std::optional<std::string> Ending;
    // "SR": 0 ignores restrictions and separation; 1 leaves out the songs
    // that fail them; any other value returns them with their flags.
    std::int32_t RestrictionMode = 0;
    // "NS=1": database references are not followed.
    bool NoReferences = false;
};

inline constexpr std::int64_t kDurationAllowanceMs = 500;

// Reads one text item of a request as marked text: a marked item stays; an
// unmarked item that is valid UTF-8 and holds bytes above 0x7F becomes
// marked UTF-8; any other is code-page text. Never throws apart from
// allocation.
std::string RequestText(std::string_view item);

// Never throws apart from allocation; bad numbers read as 0.
SearchRequest ParseSearchRequest(std::string_view text);

} // namespace zd

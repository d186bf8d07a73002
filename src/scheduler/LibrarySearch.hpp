#pragma once

#include "common/DateTime.hpp"
#include "scheduler/SearchRequest.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// What a library search needs from its caller.
struct SearchEnvironment {
    std::string DataFolder;               // Windows form, ends in "\"
    std::int32_t SeparationMinutes = 0;   // scheduler value 5
    TDateTime Now = 0;                    // the current local time
    // Whether the user may search the database of that name (marked text,
    // without ".dat" and braces): false for a music category the user is not
    // permitted. Unset: every database.
    std::function<bool(const std::string& database)> MaySearch;
    // Receives each log line ("**** Search: ..." and the deletions).
    std::function<void(const std::string& line)> Log;
};

// The outcome: the items of the reply's list (each match as a comma-list
// text of 20 columns, UTF-8, and the error entries), or a refusal.
struct SearchResult {
    std::vector<std::string> Items;
    bool Refused = false;
};

// Largest depth of database references followed below the searched one.
inline constexpr int kMaxReferenceDepth = 8;

// Runs the search. Never throws apart from allocation: a database that
// cannot be read adds its error entry and ends that database's scan.
SearchResult SearchLibrary(const SearchRequest& request, const SearchEnvironment& environment);

// The whole reply: the line "0" (CR LF) when the list is empty or the
// search was refused, otherwise a counted text (the byte length, CR LF, the
// text) of the items as one comma list.
std::string SearchReply(const SearchResult& result);

// The items joined by "," as a comma list; an item is quoted (inner quotes
// doubled) when it is empty or holds a space, a comma, a double quote or a
// control character. SplitCommaList reads it back.
std::string CommaListText(const std::vector<std::string>& items);

// The 20 column titles of a match, in order (for clients that show them).
const std::vector<std::string>& SearchColumnTitles();

} // namespace zd

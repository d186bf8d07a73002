#pragma once

#include <string>

#include "common/SongRestriction.hpp"

namespace zd {

// The song restriction test: whether a song may play at `when` (date-times,
// days since 1899-12-30). Outside its range the answer is false; then, when
// DeleteAfterEnd is set, `when` is after the end, a file name is given, `now`
// is above 1.0 (callers pass 0 to rule deletion out) and the range
// normalised for `now` does not hold `now`, the file is deleted. Any error
// gives false. noexcept.
bool IsAllowedAt(const TSongRestriction& restriction, const std::string& markedFileName,
    TDateTime now, TDateTime when) noexcept;

} // namespace zd

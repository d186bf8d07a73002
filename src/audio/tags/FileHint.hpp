#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/DateTime.hpp"

namespace zd {

// Formats a date-time for the hint text's history lines (long date, a
// comma, short time), as UTF-8.
using HintDateFormatter = std::function<std::string(TDateTime)>;

// Builds the 13 caption rows of the hint text: each translated label and
// ": ", padded with spaces to the width (in characters) of the widest
// caption of the rows whose field does not begin with "X". formatter formats
// the "Last Scheduled" and "Last Played" dates; without one, English long
// date and short time ("Thursday, December 10, 2026, 1:05 PM"). Run once at
// start-up; later calls replace the rows. Safe from any thread.
void InitFieldCaptions(HintDateFormatter formatter = {});

// The hint text of a file: caption and value of its main fields, one per
// line (CR LF between lines); empty when the file is missing, cannot be
// opened or has no fields. Builds the captions first when InitFieldCaptions
// has not run. Never throws apart from allocation.
std::u16string FileHintText(std::string_view markedName);

// "nn:ss.zzz" of a number of milliseconds (minutes may take more digits).
std::string MinutesSecondsMs(std::int64_t ms);

} // namespace zd

#pragma once

#include <ctime>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace zd {

struct LocaleFormats;

// The activity log: lines oldest first, each "<short date>,hh:nn:ss <text>".
// Main thread only.
class ActivityLog {
public:
    // Appends a line, then removes the oldest while there are more than
    // maxEntries. The echo (if set) sees every appended line. noexcept apart
    // from allocation and the echo.
    void Append(std::string line, std::size_t maxEntries);

    // Builds a line from the local time with the locale's short date
    // picture (see FormatDatePicture) and the time as hh:nn:ss; control
    // bytes of the text (below 0x20) become "?", so no argument can start a
    // line of its own. noexcept apart from allocation.
    static std::string FormatLine(const LocaleFormats& formats, const std::tm& local,
                                  std::string_view text);

    const std::deque<std::string>& Lines() const noexcept { return lines_; }
    void Clear() noexcept { lines_.clear(); }

    // Writes the lines as 8-bit text, each ended by CR LF, replacing the
    // file. Throws FileError when the file cannot be written.
    void SaveTo(const std::string& path) const;

    // Called with each appended line (headless: standard output).
    std::function<void(const std::string&)> Echo;

private:
    std::deque<std::string> lines_;
};

} // namespace zd

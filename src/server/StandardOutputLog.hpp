#pragma once

#include <string_view>

namespace zd {

// The headless echo of the activity log on standard output. When standard
// output is the systemd journal (JOURNAL_STREAM names it), each line carries
// its level as a syslog prefix the journal reads: "<3>" for error lines
// (text beginning "**** "), "<6>" for the others, so `journalctl -p err`
// shows the errors.
class StandardOutputLog {
public:
    // Looks whether standard output is the journal. noexcept.
    StandardOutputLog() noexcept;
    explicit StandardOutputLog(bool withLevels) noexcept : withLevels_(withLevels) {}

    // The line as it goes out, without its line end. noexcept apart from
    // allocation.
    std::string Format(std::string_view line) const;

    // Writes one formatted line and flushes. noexcept.
    void Write(std::string_view line) const noexcept;

    // True when a formatted log line ("<date>,hh:nn:ss <text>") has an
    // error text. noexcept.
    static bool IsErrorLine(std::string_view line) noexcept;

private:
    bool withLevels_ = false;
};

// True when the file behind descriptor fd is the one JOURNAL_STREAM
// ("device:inode") names. noexcept.
bool IsJournalStream(int fd, const char* journalStream) noexcept;

} // namespace zd

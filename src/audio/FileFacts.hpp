#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

namespace zd {

class TVRNFileStream;

// Facts of a file found by marked name.
struct TFileFacts {
    std::int64_t Size = -1;             // bytes; -1 when missing
    std::int64_t LocalDosDateTime = -1; // last write, local time, packed DOS
    std::int32_t UtcDosDate = -1;       // last write, UTC: DOS date (high half)
    std::int32_t UtcDosTime = -1;       // and DOS time (low half)
    // What PreserveFileTimes writes back.
    timespec AccessTime{0, 0};
    timespec WriteTime{0, 0};
    unsigned Permissions = 0;           // st_mode permission bits
    bool Found = false;
};

// The facts of the file (a folder counts as missing). Never throws apart
// from allocation.
TFileFacts FileFacts(std::string_view markedPath);
std::int64_t FileSizeOf(std::string_view markedPath);
std::int64_t FileLocalDosTime(std::string_view markedPath);

// Writes the saved access and write times and permission bits back to the
// open file (after a tag write), so the file looks unchanged. Linux keeps no
// creation time or archive attribute: clearArchive has nothing to clear.
// True on success. noexcept.
bool PreserveFileTimes(const TVRNFileStream& file, const TFileFacts& saved, bool clearArchive) noexcept;

} // namespace zd

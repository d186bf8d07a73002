#include "audio/FileFacts.hpp"

#include "audio/NativePath.hpp"
#include "audio/TVRNFileStream.hpp"
#include "common/DosTime.hpp"

#include <sys/stat.h>

namespace zd {

TFileFacts FileFacts(std::string_view markedPath)
{
    TFileFacts facts;
    const auto native = NativePathOf(markedPath);
    struct stat st {};
    if (!native || ::stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return facts;
    facts.Found = true;
    facts.Size = static_cast<std::int64_t>(st.st_size);
    facts.LocalDosDateTime = DosDateTimeOfUnix(st.st_mtim.tv_sec, true);
    const std::int64_t utc = DosDateTimeOfUnix(st.st_mtim.tv_sec, false);
    if (utc >= 0) {
        facts.UtcDosDate = static_cast<std::int32_t>(utc >> 16);
        facts.UtcDosTime = static_cast<std::int32_t>(utc & 0xFFFF);
    }
    facts.AccessTime = st.st_atim;
    facts.WriteTime = st.st_mtim;
    facts.Permissions = st.st_mode & 07777;
    return facts;
}

std::int64_t FileSizeOf(std::string_view markedPath)
{
    return FileFacts(markedPath).Size;
}

std::int64_t FileLocalDosTime(std::string_view markedPath)
{
    return FileFacts(markedPath).LocalDosDateTime;
}

bool PreserveFileTimes(const TVRNFileStream& file, const TFileFacts& saved, bool /*clearArchive*/) noexcept
{
    if (!file.HasHandle() || !saved.Found)
        return false;
    const timespec times[2] = {saved.AccessTime, saved.WriteTime};
    bool ok = ::futimens(file.Handle(), times) == 0;
    struct stat st {};
    if (::fstat(file.Handle(), &st) == 0 && (st.st_mode & 07777) != saved.Permissions)
        ok = ::fchmod(file.Handle(), saved.Permissions) == 0 && ok;
    return ok;
}

} // namespace zd

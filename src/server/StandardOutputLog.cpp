#include "server/StandardOutputLog.hpp"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zd {

bool IsJournalStream(int fd, const char* journalStream) noexcept
{
    if (journalStream == nullptr)
        return false;
    std::uintmax_t device = 0;
    std::uintmax_t inode = 0;
    if (std::sscanf(journalStream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2)
        return false;
    struct stat facts{};
    if (::fstat(fd, &facts) != 0)
        return false;
    return facts.st_dev == device && facts.st_ino == inode;
}

StandardOutputLog::StandardOutputLog() noexcept
    : withLevels_(IsJournalStream(STDOUT_FILENO, std::getenv("JOURNAL_STREAM")))
{
}

bool StandardOutputLog::IsErrorLine(std::string_view line) noexcept
{
    // The text starts after the first space that follows the date's comma.
    const auto comma = line.find(',');
    if (comma == std::string_view::npos)
        return false;
    const auto space = line.find(' ', comma);
    if (space == std::string_view::npos)
        return false;
    return line.substr(space + 1).starts_with("**** ");
}

std::string StandardOutputLog::Format(std::string_view line) const
{
    std::string out;
    if (withLevels_)
        out = IsErrorLine(line) ? "<3>" : "<6>";
    out.append(line);
    return out;
}

void StandardOutputLog::Write(std::string_view line) const noexcept
{
    try {
        std::string out = Format(line);
        out.push_back('\n');
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
    } catch (...) {
        // A line that cannot be echoed is dropped; the on-screen log keeps it.
    }
}

} // namespace zd

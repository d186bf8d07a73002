#include "server/ActivityLog.hpp"

#include "common/Error.hpp"
#include "common/Texts.hpp"
#include "server/LocaleFormats.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace zd {

void ActivityLog::Append(std::string line, std::size_t maxEntries)
{
    lines_.push_back(std::move(line));
    while (lines_.size() > maxEntries)
        lines_.pop_front();
    if (Echo)
        Echo(lines_.empty() ? std::string() : lines_.back());
}

std::string ActivityLog::FormatLine(const LocaleFormats& formats, const std::tm& local,
                                    std::string_view text)
{
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    std::string line = FormatDatePicture(formats.ShortDateFormat, local, formats);
    line += ',';
    line += clock;
    line += ' ';
    line += WithoutLineControls(text);
    return line;
}

void ActivityLog::SaveTo(const std::string& path) const
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw FileError("EFCreateError", "Cannot create file \"" + path + "\". " + std::strerror(errno));
    for (const std::string& line : lines_)
        file << line << "\r\n";
    file.flush();
    if (!file)
        throw FileError("EWriteError", "Cannot write file \"" + path + "\".");
}

} // namespace zd

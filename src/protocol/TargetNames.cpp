#include "protocol/TargetNames.hpp"

namespace zd {

bool IsPlainFileName(std::string_view name) noexcept
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string_view("\\/:\0", 4)) == std::string_view::npos;
}

std::string_view FileNamePart(std::string_view path) noexcept
{
    const auto separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string BackupPathOf(std::string_view path)
{
    const auto name = FileNamePart(path);
    const auto folderLength = path.size() - name.size();
    const auto dot = name.rfind('.');
    const auto stemLength = dot == std::string_view::npos ? name.size() : dot;
    std::string backup(path.substr(0, folderLength + stemLength));
    backup += ".bak";
    return backup;
}

} // namespace zd

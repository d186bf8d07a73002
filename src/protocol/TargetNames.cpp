#include "protocol/TargetNames.hpp"

#include "common/MarkedText.hpp"
#include "common/Texts.hpp"

namespace zd {

bool IsPlainFileName(std::string_view name) noexcept
{
    try {
        // Checked in the form the file layer will use, so that a marked
        // name cannot hide a separator or a dot name.
        const std::u16string wide = MarkedToWide(name);
        if (wide.empty() || wide == u"." || wide == u"..")
            return false;
        return wide.find_first_of(std::u16string_view(u"\\/:\0", 4)) == std::u16string::npos;
    } catch (...) {
        return false;
    }
}

std::string JoinFolderAndName(std::string_view folder, std::string_view name)
{
    return WideToMarked(MarkedToWide(folder) + MarkedToWide(name));
}

std::string_view FileNamePart(std::string_view path) noexcept
{
    const auto separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool IsPlaylistFileName(std::string_view name) noexcept
{
    constexpr std::string_view kExtension = ".plg";
    if (!IsPlainFileName(name) || name.size() <= kExtension.size())
        return false;
    return SameAsciiIgnoringCase(name.substr(name.size() - kExtension.size()), kExtension);
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

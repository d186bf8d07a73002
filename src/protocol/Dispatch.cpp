#include "protocol/Dispatch.hpp"

#include "net/Connection.hpp"
#include "protocol/FileQueries.hpp"
#include "protocol/LibraryCommands.hpp"
#include "protocol/PlaylistTransfer.hpp"
#include "protocol/SettingsReply.hpp"
#include "protocol/Upload.hpp"
#include "common/Texts.hpp"

#include <algorithm>
#include <array>

// Handler owners: include your header here and put your handler in your row.

namespace zd {
namespace {

constexpr std::array<DispatchRow, 12> rows{{
    {"Settings", CommandMatch::WholeLine, 0, 0, &HandleSettings},
    {"Exists=", CommandMatch::Prefix, 8, 260, &HandleExists},
    {"Scheduled=", CommandMatch::Prefix, 11, ToEnd, &HandleScheduled},
    {"WriteTag=", CommandMatch::Prefix, 10, ToEnd, &HandleWriteTag},
    {"GetPLG=", CommandMatch::Prefix, 8, 260, &HandleGetPlaylist},
    {"WritePLG=", CommandMatch::Prefix, 0, 0, &HandleWritePlaylist},
    {"WriteVT=", CommandMatch::Prefix, 9, 260, &HandleWriteVoiceTrack},
    {"WritePL=", CommandMatch::Prefix, 9, 260, &HandleWritePlaylistFile},
    {"FileCheck=", CommandMatch::Prefix, 11, 7, &HandleFileCheck},
    {"FileHint=", CommandMatch::Prefix, 10, 260, &HandleFileHint},
    {"Categories", CommandMatch::WholeLine, 0, 0, &HandleCategories},
    {"Search=", CommandMatch::Prefix, 8, 1023, &HandleSearch},
}};

} // namespace

std::span<const DispatchRow> DispatchTable() noexcept
{
    return rows;
}

const DispatchRow* FindCommand(std::string_view line) noexcept
{
    for (const auto& row : rows) {
        const bool match = row.match == CommandMatch::WholeLine
            ? SameAsciiIgnoringCase(line, row.word)
            : SameAsciiIgnoringCase(line.substr(0, row.word.size()), row.word);
        if (match)
            return &row;
    }
    return nullptr;
}

std::string_view CommandArgument(const DispatchRow& row, std::string_view line) noexcept
{
    if (row.argumentFirst == 0 || row.argumentFirst > line.size())
        return {};
    return line.substr(row.argumentFirst - 1, row.argumentMax);
}

std::string UnknownCommandReply(std::string_view line)
{
    return "What> " + std::string(line.substr(0, 20));
}

void DispatchCommand(Session& session, std::string_view line)
{
    const DispatchRow* row = FindCommand(line);
    if (row == nullptr || row->handler == nullptr) {
        session.connection.WriteLine(UnknownCommandReply(line));
        return;
    }
    row->handler(session, CommandArgument(*row, line));
}

} // namespace zd

#include "protocol/PlaylistMerge.hpp"

#include <functional>

#include "common/Numbers.hpp"

#include <cstring>

namespace zd {

std::string_view PlaylistBodyText(std::string_view body) noexcept
{
    const auto nul = body.find('\0');
    return nul == std::string_view::npos ? body : body.substr(0, nul);
}

bool ForEachPlaylistLine(std::string_view text, const std::function<bool(std::string_view)>& line)
{
    // Finds each LF with memchr and looks for a CR only before it, so the
    // usual CR LF text is split at memory speed; lines ended by a CR alone
    // are taken one by one before the LF found.
    const char* start = text.data();
    const char* const end = start + text.size();
    const char* lf = nullptr; // the next LF at or after start, or end
    while (start != end) {
        if (lf == nullptr || lf < start) {
            lf = static_cast<const char*>(
                std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
            if (lf == nullptr)
                lf = end;
        }
        const char* cr = static_cast<const char*>(
            std::memchr(start, '\r', static_cast<std::size_t>(lf - start)));
        if (cr != nullptr) {
            const std::string_view found(start, static_cast<std::size_t>(cr - start));
            start = cr + 1;
            if (start != end && *start == '\n')
                ++start;
            if (!line(found))
                return false;
        } else {
            const std::string_view found(start, static_cast<std::size_t>(lf - start));
            start = lf == end ? end : lf + 1;
            if (!line(found))
                return false;
        }
    }
    return true;
}

std::vector<std::string_view> SplitPlaylistLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    ForEachPlaylistLine(text, [&lines](std::string_view found) {
        lines.push_back(found);
        return true;
    });
    return lines;
}

bool IsBlockStart(std::string_view line) noexcept
{
    return line.starts_with("B,");
}

BodyLine ClassifyBodyLine(std::string_view line) noexcept
{
    const auto prefix = line.substr(0, kBodyPrefixLength);
    const auto rest = line.size() > kBodyPrefixLength
        ? line.substr(kBodyPrefixLength, kBodyRestLength)
        : std::string_view{};
    if (prefix == "00-1")
        return {BodyLineKind::Header, 0, rest};
    const int number = TextToIntDef0(prefix);
    if (number == kEndMarkerNumber)
        return {BodyLineKind::EndMarker, number, rest};
    return {BodyLineKind::Block, number, rest};
}

void ResetMergeCursor(MergeCursor& cursor) noexcept
{
    cursor.oldLineIndex = 0;
    cursor.blockCount = -1;
    cursor.lastBlock = -1;
    cursor.linesWritten = 0;
}

namespace {

void AppendLine(std::string& out, std::string_view line)
{
    out.append(line);
    out.append("\r\n");
}

bool OldLinesRemain(const MergeCursor& cursor) noexcept
{
    return cursor.oldLineIndex >= 0
        && static_cast<std::size_t>(cursor.oldLineIndex) < cursor.oldLines.size();
}

} // namespace

void CopyOldLinesUpTo(MergeCursor& cursor, int n, std::string& out)
{
    if (cursor.lastBlock >= 0 && cursor.lastBlock < n) {
        while (OldLinesRemain(cursor) && !IsBlockStart(cursor.oldLines[cursor.oldLineIndex]))
            ++cursor.oldLineIndex;
    }
    while (cursor.blockCount < n && OldLinesRemain(cursor)) {
        const auto& line = cursor.oldLines[cursor.oldLineIndex];
        AppendLine(out, line);
        if (IsBlockStart(line))
            ++cursor.blockCount;
        ++cursor.oldLineIndex;
    }
}

void WriteClientLine(MergeCursor& cursor, std::string_view rest, std::string& out)
{
    AppendLine(out, rest);
    ++cursor.linesWritten;
    cursor.lastBlock = cursor.blockCount;
}

std::vector<std::string> ReadPlaylistLines(std::string_view content)
{
    const auto views = SplitPlaylistLines(content);
    return {views.begin(), views.end()};
}

std::string JoinPlaylistLines(const std::vector<std::string>& lines)
{
    std::string text;
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const auto& line : lines)
        AppendLine(text, line);
    return text;
}

} // namespace zd

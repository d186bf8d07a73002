#include "protocol/PlaylistMerge.hpp"

#include "common/Numbers.hpp"

namespace zd {

std::string_view PlaylistBodyText(std::string_view body) noexcept
{
    const auto nul = body.find('\0');
    return nul == std::string_view::npos ? body : body.substr(0, nul);
}

std::vector<std::string_view> SplitPlaylistLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
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

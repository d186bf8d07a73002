#include "audio/playlists/PlaylistLength.hpp"

#include <cmath>
#include <optional>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "audio/FileDuration.hpp"
#include "audio/FileOps.hpp"
#include "audio/RetryOpen.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

// The lines of a list file (ends CR LF, LF or CR); none when it cannot be read.
std::vector<std::string> ListLines(const std::string& markedName)
{
    const std::string text = ReadWholeTextFile(markedName);
    std::vector<std::string> lines;
    if (text.empty() || text.starts_with("Error>"))
        return lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.emplace_back(text, start, end - start);
        start = end + 1;
        if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && AsciiLower(text.substr(0, prefix.size())) == AsciiLower(prefix);
}

// Trunc(seconds x 1000) of the number between "#EXTINF:" and the first ","; nullopt when it does not parse.
std::optional<std::int64_t> ExtInfMs(std::string_view line)
{
    std::string_view number = line.substr(8);
    number = number.substr(0, number.find(','));
    const auto seconds = ParseInvariantFloat(TrimText(number));
    if (!seconds || !std::isfinite(*seconds) || std::fabs(*seconds) > 1e12)
        return std::nullopt;
    return static_cast<std::int64_t>(std::trunc(*seconds * 1000.0));
}

// The length of one entry of a list at depth: nested lists are read by this
// reader (down to the depth limit), other files through the facade; -1 when unknown.
std::int64_t EntryMs(const std::string& listName, const std::string& entry, int depth)
{
    const std::string file = ResolveRelativePath(listName, entry);
    const std::string extension = ExtensionLower(file);
    if (extension != ".m3u" && extension != ".pls")
        return GetFileDuration(file);
    if (depth + 1 >= MaxPlaylistDepth || !FileExistsMarked(file))
        return -1;
    const std::int64_t ms = extension == ".m3u" ? ReadM3U(file, depth + 1) : ReadPLS(file, depth + 1);
    return ms > 0 ? ms : -1;
}

std::int64_t M3UOfLines(const std::string& markedName, const std::vector<std::string>& lines, int depth)
{
    if (lines.empty())
        return 0;
    const bool extended = lines[0] == "#EXTM3U";
    if (extended && lines.size() < 2)
        return 0;
    if (extended && lines.size() >= 3 && lines[2].find("://") != std::string::npos && lines[1].starts_with("#EXTINF:"))
        return ExtInfMs(lines[1]).value_or(0); // a single stream
    if (lines.size() == 1 && lines[0].find("://") != std::string::npos)
        return 0;
    std::int64_t total = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = TrimText(lines[i]);
        if (line.starts_with("#EXTINF:")) {
            total += ExtInfMs(line).value_or(0);
            ++i; // the entry the length belongs to
        } else if (!line.empty() && !line.starts_with('#') && line.find("://") == std::string_view::npos) {
            total += EntryMs(markedName, std::string(line), depth);
        }
    }
    return total;
}

// The "name=value" lines of a list by lower-cased name: the first line's
// value and index.
class NamedValues {
public:
    explicit NamedValues(const std::vector<std::string>& lines)
    {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto equals = lines[i].find('=');
            if (equals != std::string::npos)
                values_.try_emplace(AsciiLower(TrimText(std::string_view(lines[i]).substr(0, equals))),
                    lines[i].substr(equals + 1), i);
        }
    }

    const std::pair<std::string, std::size_t>* Find(std::string_view name) const
    {
        const auto found = values_.find(AsciiLower(name));
        return found == values_.end() ? nullptr : &found->second;
    }

private:
    std::unordered_map<std::string, std::pair<std::string, std::size_t>> values_;
};

} // namespace

std::int64_t ReadM3U(const std::string& markedName, int depth)
{
    return M3UOfLines(markedName, ListLines(markedName), depth);
}

std::int64_t ReadPLS(const std::string& markedName, int depth)
{
    const std::vector<std::string> lines = ListLines(markedName);
    if (lines.empty())
        return 0;
    const NamedValues named(lines);
    const auto* first = named.Find("File1");
    if (!first)
        return M3UOfLines(markedName, lines, depth);
    if (first->first.find("://") != std::string::npos) {
        const auto* length = named.Find("Length1");
        const auto seconds = length ? ParseInvariantFloat(TrimText(length->first)) : std::nullopt;
        if (!seconds || !(*seconds > 0) || *seconds > 1e12)
            return 0;
        return static_cast<std::int64_t>(std::trunc(*seconds * 1000.0));
    }
    std::int64_t total = 0;
    for (const std::string& line : lines) {
        const auto equals = line.find('=');
        if (equals == std::string::npos || !StartsWithNoCase(line, "file"))
            continue;
        const std::string value(TrimText(std::string_view(line).substr(equals + 1)));
        if (value.find("://") != std::string::npos)
            continue;
        const std::string number(TrimText(std::string_view(line).substr(4, equals - 4)));
        const auto* length = named.Find("Length" + number);
        if (length && length->second != 0)
            total += std::int64_t{TextToIntDef0(length->first)} * 1000;
        else
            total += EntryMs(markedName, value, depth);
    }
    return total;
}

std::int64_t M3UDurationOf(const std::string& markedName, TVRNFileStream*) { return ReadM3U(markedName); }

std::int64_t PLSDurationOf(const std::string& markedName, TVRNFileStream*) { return ReadPLS(markedName); }

} // namespace zd

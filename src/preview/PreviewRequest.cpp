#include "preview/PreviewRequest.hpp"

#include "audio/FileOps.hpp"
#include "common/Base64.hpp"
#include "common/Numbers.hpp"
#include "common/Scramble.hpp"
#include "common/Texts.hpp"

#include <algorithm>

namespace zd {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    std::size_t at = 0;
    for (std::size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, at)) {
        out.append(text.substr(at, hit - at)).append(to);
        at = hit + from.size();
    }
    return out.append(text.substr(at));
}

// a x b / c without overflow, truncating toward zero; c is not 0.
std::int64_t Scale(std::int64_t a, std::int64_t b, std::int64_t c) noexcept
{
    const __int128 value = static_cast<__int128>(a) * b / c;
    constexpr __int128 kMax = INT64_MAX;
    return static_cast<std::int64_t>(std::clamp<__int128>(value, -kMax, kMax));
}

// The position of " HTTP/1." in the upper-cased line, or npos.
std::size_t HttpMark(std::string_view line)
{
    return AsciiUpper(line).find(" HTTP/1.");
}

} // namespace

bool PreviewRequest::IsRequestLine(std::string_view firstLine)
{
    return HttpMark(firstLine) != std::string::npos;
}

void PreviewRequest::ReadTarget(std::string_view firstLine)
{
    const std::size_t http = HttpMark(firstLine);
    // The method word, its space and the leading slash are skipped: the
    // target is the text from the sixth character up to " HTTP/1.".
    const std::string_view target = http != std::string::npos && http > 5 ? firstLine.substr(5, http - 5) : "";
    std::string name = ReplaceAll(target, "%20", " ");
    std::replace(name.begin(), name.end(), '/', '\\');
    if (ExtensionLower(name) == ".mp3")
        name.resize(name.size() - 4);
    else
        name.clear();
    ReplayGainWanted = false;
    if (const std::size_t query = name.find('?'); query != std::string::npos) {
        ReplayGainWanted = name.compare(query + 1, 4, "rg=1") == 0;
        name.resize(query);
    }
    FileName = std::move(name);
}

void PreviewRequest::ReadHeader(std::string_view line)
{
    const std::string lower = AsciiLower(line.substr(0, 21));
    if (lower.starts_with("range: bytes=")) {
        ReadRange(line.substr(13, 21));
    } else if (lower.starts_with("range: milliseconds=")) {
        RangeInMilliseconds = true;
        ReadRange(line.substr(20, 21));
    } else if (lower.starts_with("authorization: basic ")) {
        Credentials = std::string(line.substr(21, kMaxCredentials));
    } else if (line.find("Vornelle") != std::string_view::npos || line.find("Winamp") != std::string_view::npos) {
        BrowserMode = false;
    }
}

void PreviewRequest::ReadRange(std::string_view value)
{
    const std::size_t dash = value.find('-');
    if (dash != std::string_view::npos && dash > 0) {
        RangeStart = TextToInt64Def0(value.substr(0, dash));
        RangeEnd = TextToInt64Def0(value.substr(dash + 1, 10));
    } else {
        RangeStart = TextToInt64Def0(value.substr(0, 10));
    }
}

void PreviewRequest::DecodeCredentials()
{
    if (Credentials.empty())
        return;
    const std::string plain = Scramble(Base64Decode(Credentials), false);
    const std::size_t colon = plain.find(':');
    if (colon == std::string::npos) {
        Credentials = plain;
        SentPassword.clear();
    } else {
        SentPassword = plain.substr(colon + 1, kMaxCredentials);
        Credentials = plain.substr(0, colon);
    }
}

PreviewLengths ComputePreviewLengths(const PreviewRequest& request, std::int64_t durationMs, int kbit) noexcept
{
    PreviewLengths lengths;
    const std::int64_t full = durationMs * kbit / 8;
    lengths.FullLength = full;
    std::int64_t start = request.RangeStart;
    std::int64_t end = request.RangeEnd;
    if (request.RangeInMilliseconds) {
        if (start != 0)
            start = Scale(full, start, durationMs);
        if (end > 0)
            end = Scale(full, end, durationMs);
    }
    if (end == 0)
        end = full;
    if (start < 0)
        start = full + start;
    lengths.RangeStart = start;
    lengths.RangeEnd = end;
    if (full <= 0 || start > full || end > full || end < start || start < 0)
        return lengths;
    lengths.ContentLength = end - start;
    lengths.CueTimeMs = start > 0 ? static_cast<std::int32_t>(Scale(durationMs, start, full)) : 0;
    lengths.Satisfiable = true;
    return lengths;
}

} // namespace zd

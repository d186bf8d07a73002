#include "common/Texts.hpp"

#include <algorithm>

#include "common/MarkedText.hpp"
#include "common/Translate.hpp"

namespace zd {

std::string_view TrimText(std::string_view text) noexcept
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (auto& c : out)
        c = AsciiLower(c);
    return out;
}

std::string AsciiUpper(std::string_view text)
{
    std::string out(text);
    for (auto& c : out)
        c = AsciiUpper(c);
    return out;
}

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

void BreakAtChar(std::vector<std::string>& list, std::string_view text, char delimiter)
{
    // The delimiter is a single byte; in the single-byte code page and in
    // UTF-8 no byte of a multi-byte character equals an ASCII delimiter, so
    // stepping byte by byte keeps characters whole.
    list.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t at = text.find(delimiter, start);
        if (at == std::string_view::npos) {
            list.emplace_back(text.substr(start));
            break;
        }
        list.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

TDashFields DashFields(std::string_view text)
{
    constexpr std::string_view separator = " - ";
    constexpr std::size_t longest = 255;
    TDashFields fields;
    const std::size_t first = text.find(separator);
    if (first == std::string_view::npos) {
        fields.Second = std::string(text);
        return fields;
    }
    fields.First = std::string(text.substr(0, first));
    std::string_view rest = text.substr(first + separator.size());
    const std::size_t second = rest.find(separator);
    if (second != std::string_view::npos) {
        fields.Third = std::string(TrimText(rest.substr(second + separator.size())).substr(0, longest));
        rest = rest.substr(0, second);
    }
    fields.Second = std::string(rest.substr(0, longest));
    return fields;
}

std::string BaseNameOf(std::string_view path)
{
    const bool marked = IsMarked(path);
    std::string_view body = marked ? path.substr(1) : path;
    const std::size_t slash = body.find_last_of("\\/:");
    if (slash != std::string_view::npos)
        body.remove_prefix(slash + 1);
    const std::size_t dot = body.rfind('.');
    if (dot != std::string_view::npos)
        body = body.substr(0, dot);
    if (marked)
        return MarkIfHigh(body);
    return std::string(body);
}

std::string TransitionName(std::int64_t milliseconds)
{
    if (milliseconds <= 0)
        return {};
    if (milliseconds <= 900)
        return Tr("Cold");
    if (milliseconds <= 1400)
        return Tr("Short Fade");
    if (milliseconds >= 4000)
        return Tr("Long Fade");
    return Tr("Fade");
}

std::string MessageKindCaption(TMessageKind kind)
{
    switch (kind) {
    case TMessageKind::Information: return Tr("Information");
    case TMessageKind::Warning: return Tr("Warning");
    case TMessageKind::Error: break;
    }
    return Tr("Error");
}

bool IpMatches(std::string_view pattern, std::string_view ip) noexcept
{
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos)
        return pattern == ip;
    const std::string_view head = pattern.substr(0, star);
    return ip.substr(0, head.size()) == head;
}

std::string ClientText(std::string_view text)
{
    std::string safe(text);
    for (std::size_t i = 0; i < safe.size(); ++i) {
        const auto byte = static_cast<unsigned char>(safe[i]);
        if (byte < 0x20 || (byte == 0x7F && i > 0))
            safe[i] = '?';
    }
    return safe;
}

std::string WithoutLineControls(std::string_view text)
{
    static constexpr std::string_view kIndentedBreak = "\r\n     ";
    std::string safe(text);
    for (std::size_t i = 0; i < safe.size(); ++i) {
        if (text.substr(i).starts_with(kIndentedBreak)) {
            i += 1; // the LF is stepped over by the loop
            continue;
        }
        if (static_cast<unsigned char>(safe[i]) < 0x20)
            safe[i] = '?';
    }
    return safe;
}

} // namespace zd

#include "common/MarkedText.hpp"

#include "common/CodePage.hpp"

namespace zd {

bool IsMarked(std::string_view text) noexcept
{
    return !text.empty() && text.front() == kTextMarker;
}

bool HasHighBytes(std::string_view text) noexcept
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

std::string MarkIfHigh(std::string_view text)
{
    if (HasHighBytes(text))
        return kTextMarker + std::string(text);
    return std::string(text);
}

std::u16string MarkedToWide(std::string_view text)
{
    if (IsMarked(text)) {
        const std::string_view rest = text.substr(1);
        auto wide = Utf8ToWide(rest);
        if (wide && !wide->empty())
            return *wide;
        return AnsiToWide(rest);
    }
    return AnsiToWide(text);
}

std::string WideToMarked(std::u16string_view wide)
{
    std::string ansi = WideToAnsi(wide);
    if (IsMarked(ansi))
        return ansi;
    std::string utf8 = WideToUtf8(wide);
    if (HasHighBytes(utf8))
        return kTextMarker + utf8;
    return ansi;
}

std::string WideToAnsiOrMarked(std::u16string_view wide)
{
    std::string ansi = WideToAnsi(wide);
    if (!IsMarked(ansi) && AnsiToWide(ansi) == wide)
        return ansi;
    return kTextMarker + WideToUtf8(wide);
}

std::string MarkedToUtf8(std::string_view text)
{
    if (!IsMarked(text) && !HasHighBytes(text))
        return std::string(text);
    return WideToUtf8(MarkedToWide(text));
}

bool ContainsText(std::string_view text, std::string_view part)
{
    const std::u16string haystack = WideLower(MarkedToWide(text));
    const std::u16string needle = WideLower(MarkedToWide(part));
    return haystack.find(needle) != std::u16string::npos;
}

} // namespace zd

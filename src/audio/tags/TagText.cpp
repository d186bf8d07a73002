#include "audio/tags/TagText.hpp"

#include "audio/MarkedText.hpp"
#include "common/CodePage.hpp"

namespace zd {

std::string CleanTagText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0) {
            if (!out.empty())
                break;
            continue;
        }
        if (b == 10)
            out.push_back('\x02');
        else if (b == 13)
            out.push_back('\x01');
        else if (b < 32)
            continue;
        else if (c == '"')
            out.push_back('\'');
        else if (c == '|')
            out.push_back('-');
        else
            out.push_back(c);
    }
    return out;
}

bool IsBinaryName(std::string_view name) noexcept
{
    return !name.empty() && (name[0] == 'X' || name[0] == 'x');
}

bool IsBinaryItem(std::string_view name, std::uint8_t flagsLow, std::uint8_t flagsHigh) noexcept
{
    return IsBinaryName(name) || flagsLow != 0 || (flagsHigh != 0 && flagsHigh != 128);
}

std::string ItemTextToMarked(std::string_view value)
{
    if (!HasHighBytes(value))
        return std::string(value);
    const std::string_view raw = IsMarked(value) ? value.substr(1) : value;
    const std::u16string wide = Utf8OrAnsiToWide(raw);
    const std::string ansi = WideToAnsi(wide);
    if (!ansi.empty() && ansi != raw)
        return std::string(1, kTextMarker) + std::string(raw);
    return WideToMarked(wide);
}

std::string StoredBytesOf(const TTags& field)
{
    const std::string& value = field.Value;
    if (IsBinaryItem(field.Name, field.FlagsLow, field.FlagsHigh) || !(IsMarked(value) || HasHighBytes(value)))
        return value;
    return MarkedToUtf8(value);
}

std::string CutToChars(std::string_view text, std::size_t maxChars)
{
    if (!IsMarked(text))
        return std::string(text.substr(0, maxChars));
    std::size_t chars = 0;
    std::size_t i = 1;
    while (i < text.size()) {
        if (chars == maxChars)
            break;
        std::size_t next = i + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
            ++next;
        i = next;
        ++chars;
    }
    return std::string(text.substr(0, i));
}

bool IsValidTagName(std::string_view name) noexcept
{
    if (name.size() < 2 || name.size() > 255)
        return false;
    for (const char c : name)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

} // namespace zd

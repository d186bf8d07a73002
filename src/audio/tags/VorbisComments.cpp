#include "audio/tags/VorbisComments.hpp"

#include "audio/MarkedText.hpp"
#include "audio/info/ByteSource.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

std::string_view TrimLeft(std::string_view text) noexcept
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    return text;
}

std::string_view TrimRight(std::string_view text) noexcept
{
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

} // namespace

void ReadVorbisComments(std::span<const std::uint8_t> bytes, VorbisCommentStyle style,
    std::vector<std::string>& names, std::vector<std::string>& values)
{
    std::size_t pos = 0;
    const auto take32 = [&](std::uint32_t& out) {
        if (bytes.size() - pos < 4)
            return false;
        out = LoadLE32(bytes, pos);
        pos += 4;
        return true;
    };
    std::uint32_t vendor = 0;
    if (!take32(vendor) || vendor > bytes.size() - pos)
        return;
    pos += vendor;
    std::uint32_t count = 0;
    if (!take32(count))
        return;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        if (!take32(length) || length > bytes.size() - pos)
            return;
        const std::string_view text(reinterpret_cast<const char*>(bytes.data() + pos), length);
        pos += length;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view name = text.substr(0, equals);
        const std::string_view value = text.substr(equals + 1);
        if (style == VorbisCommentStyle::Ogg) {
            names.push_back(AsciiUpper(TrimLeft(name)));
            values.push_back(MarkIfHigh(TrimRight(value)));
        } else {
            names.push_back(AsciiUpper(name));
            values.push_back(MarkIfHigh(TrimText(value)));
        }
    }
}

} // namespace zd

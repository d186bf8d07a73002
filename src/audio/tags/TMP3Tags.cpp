#include "audio/tags/TMP3Tags.hpp"

#include <array>
#include <charconv>

#include "audio/MarkedText.hpp"
#include "audio/info/ReaderSupport.hpp"
#include "audio/tags/ID3Genres.hpp"
#include "common/CodePage.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

std::string_view AsText(std::span<const std::uint8_t> bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A text slot of an ID3v1 tag: up to its first NUL, trimmed, UTF-8 marked.
std::string V1Slot(std::span<const std::uint8_t> bytes)
{
    std::string_view text = AsText(bytes);
    text = text.substr(0, text.find('\0'));
    return MarkIfHigh(TrimText(text));
}

// "COMM" holds a language and a description before the text: drop them.
std::string_view DropDescription(std::string_view bytes, std::size_t fixed)
{
    if (bytes.size() < fixed)
        return {};
    bytes.remove_prefix(fixed);
    const auto nul = bytes.find('\0');
    if (nul != std::string_view::npos && nul < bytes.size() / 2)
        bytes.remove_prefix(nul + 1);
    return bytes;
}

std::u16string Utf16Text(std::string_view bytes, bool bigEndian)
{
    while (!bytes.empty() && static_cast<unsigned char>(bytes.front()) <= 32)
        bytes.remove_prefix(1);
    if (bytes.starts_with("\xFE\xFF")) {
        bigEndian = true;
        bytes.remove_prefix(2);
    } else if (bytes.starts_with("\xFF\xFE")) {
        bigEndian = false;
        bytes.remove_prefix(2);
    }
    std::u16string wide;
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        wide.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return wide;
}

std::u16string TrimWide(std::u16string_view text)
{
    while (!text.empty() && text.front() <= 32)
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= 32)
        text.remove_suffix(1);
    return std::u16string(text);
}

} // namespace

std::string ID3FrameText(std::string_view id, std::uint8_t encoding, std::string_view bytes)
{
    const bool comment = id == "COMM";
    if (encoding == 1 || encoding == 2) {
        // Encoding 2 is UTF-16 big-endian without a byte-order mark.
        return WideToMarked(TrimWide(Utf16Text(comment ? DropDescription(bytes, 5) : bytes, encoding == 2)));
    }
    const std::string_view text = TrimText(comment ? DropDescription(bytes, 4) : bytes);
    if (encoding == 3) {
        const auto wide = Utf8ToWide(text);
        if (wide && !wide->empty())
            return MarkIfHigh(text);
        return WideToMarked(AnsiToWide(text));
    }
    return std::string(text);
}

void TMP3Tags::Add(std::string id, std::string value)
{
    if (id == "TCON" && value.size() >= 3 && value[0] == '(') {
        const auto close = value.find(')');
        int n = -1;
        const auto [end, error] = std::from_chars(value.data() + 1, value.data() + (close == std::string::npos ? 0 : close), n);
        if (close != std::string::npos && error == std::errc{} && end == value.data() + close && close > 1) {
            if (close + 1 < value.size())
                value = value.substr(close + 1);
            else if (n >= 0 && n < 127)
                value = std::string(ID3GenreName(n));
        }
    }
    if (value.empty())
        return;
    Frames.push_back({std::move(id), std::move(value)});
}

void TMP3Tags::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TMP3Tags::Parse(ByteSource& source) noexcept
{
    *this = TMP3Tags{};
    Guarded([&] { Read(source); });
}

void TMP3Tags::Read(ByteSource& source)
{
    if (source.Size() < 128)
        return;
    std::array<std::uint8_t, 10> head{};
    if (!source.ReadExactAt(0, head))
        return;
    if (!StartsWith(head, "ID3")) {
        ReadID3v1(source);
    } else {
        Version = head[3];
        TagSize = std::int64_t{SyncSafeToInt(std::span<const std::uint8_t, 4>(head.data() + 6, 4))} + 10;
        if (TagSize > source.Size() - 10 || Version < 3)
            return;
        ReadFrames(source, head[5]);
        if (!source.ReadExactAt(TagSize, head))
            return;
    }
    if (head[1] == 0xF2 || head[1] == 0xF3)
        Add("3PRO", "1");
}

void TMP3Tags::ReadID3v1(ByteSource& source)
{
    std::array<std::uint8_t, 128> tag{};
    if (!source.ReadExactAt(source.Size() - 128, tag) || !StartsWith(tag, "TAG"))
        return;
    const std::span<const std::uint8_t> v1 = std::span(tag).subspan(3);
    Add("TIT2", V1Slot(v1.subspan(0, 30)));
    Add("TPE1", V1Slot(v1.subspan(30, 30)));
    Add("TALB", V1Slot(v1.subspan(60, 30)));
    Add("TYER", V1Slot(v1.subspan(90, 4)));
    const std::string comment = V1Slot(v1.subspan(94, 29));
    if (!comment.empty())
        Add("COMM", "     " + comment);
    if (v1[123] != 0 && v1[123] != 32)
        Add("TRCK", std::to_string(v1[123]));
    if (v1[124] >= 1 && v1[124] <= 126)
        Add("TCON", std::string(ID3GenreName(v1[124])));
}

void TMP3Tags::ReadFrames(ByteSource& source, std::uint8_t flags)
{
    const bool v4 = Version == 4;
    std::int64_t pos = 10;
    if (flags & 0x40) {
        std::array<std::uint8_t, 4> size{};
        if (!source.ReadExactAt(pos, size))
            return;
        const std::uint32_t extended = v4 ? SyncSafeToInt(LoadBE32(size, 0)) : LoadBE32(size, 0);
        // Version 4 counts the size field in the extended header, version 3 does not.
        pos += v4 ? extended : 4 + std::int64_t{extended};
    }
    const std::int64_t fileSize = source.Size();
    while (pos < TagSize && pos < fileSize - 11) {
        std::array<std::uint8_t, 10> header{};
        if (!source.ReadExactAt(pos, header))
            return;
        const char first = static_cast<char>(header[0]);
        if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')))
            return;
        const std::uint32_t size = v4 ? SyncSafeToInt(LoadBE32(header, 4)) : LoadBE32(header, 4);
        const std::int64_t body = pos + 10;
        if (body + size > TagSize)
            return;
        pos = body + size;
        const std::string id(AsText(std::span(header).first(4)));
        if (id == "TXXX" || id == "APIC" || size < 2 || size > MaxFrame)
            continue;
        std::vector<std::uint8_t> value(size);
        if (!source.ReadExactAt(body, value))
            return;
        Add(id, ID3FrameText(id, value[0], AsText(std::span(value).subspan(1))));
    }
}

} // namespace zd

#include "audio/tags/TMP4Tags.hpp"

#include <array>

#include "audio/MarkedText.hpp"
#include "audio/info/MP4Boxes.hpp"
#include "audio/info/ReaderSupport.hpp"
#include "common/CodePage.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

std::string_view AsText(std::span<const std::uint8_t> bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A 16-bit number of the data in decimal, empty when not above 0.
std::string NumberAt(std::span<const std::uint8_t> data, std::size_t at)
{
    const std::uint16_t n = LoadBE16(data, at);
    return n > 0 ? std::to_string(n) : std::string();
}

} // namespace

void TMP4Tags::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TMP4Tags::Parse(ByteSource& source) noexcept
{
    *this = TMP4Tags{};
    Guarded([&] { Read(source); });
}

void TMP4Tags::Read(ByteSource& source)
{
    const auto first = BoxAt(source, 0, source.Size());
    if (!first || !StartsWith(first->Type, "ftyp"))
        return;
    const auto meta = FindBoxPath(source, 0, source.Size(), {"moov", "udta", "meta"});
    if (!meta)
        return;
    const auto ilst = FindBox(source, meta->Payload + 4, meta->End, "ilst");
    if (!ilst)
        return;
    std::int64_t pos = ilst->Payload;
    for (int i = 0; i < MaxItems && pos + 8 <= ilst->End; ++i) {
        std::array<std::uint8_t, 4> sizeBytes{};
        if (!source.ReadExactAt(pos, sizeBytes))
            return;
        const std::uint32_t size = LoadBE32(sizeBytes, 0);
        if (size > MaxItem || size < 8 || size > ilst->End - pos)
            return;
        std::vector<std::uint8_t> item(size - 4);
        if (!source.ReadExactAt(pos + 4, item))
            return;
        try {
            ReadItem(item);
        } catch (...) {
            // An error in one item drops that item only.
        }
        pos += size;
    }
}

void TMP4Tags::ReadItem(std::span<const std::uint8_t> item)
{
    std::string name(AsText(item.first(4)));
    if (static_cast<unsigned char>(name[0]) == 0xA9)
        name.erase(0, 1);
    name = AsciiLower(name);
    const std::span<const std::uint8_t> data = item.size() > 20 ? item.subspan(20) : std::span<const std::uint8_t>{};
    std::string value;
    if (name == "trkn") {
        value = NumberAt(data, 2);
        const std::string total = NumberAt(data, 4);
        if (!value.empty() && data.size() > 5 && !total.empty())
            value += "/" + total;
    } else if (name == "tmpo" || name == "gnre") {
        value = NumberAt(data, 0);
    } else if (name == "----") {
        // Free-form items: only the track's replay gain is kept.
        if (AsciiLower(AsText(item.subspan(4))).find("replaygain_track_gain") == std::string::npos)
            return;
        name = "rgtg";
        const std::string_view text = AsText(item);
        value = TrimText(text.substr(text.size() > 10 ? text.size() - 10 : 0));
    } else {
        const std::string_view text = AsText(data);
        const auto wide = Utf8ToWide(text);
        value = wide && !wide->empty() ? MarkIfHigh(text) : WideToMarked(AnsiToWide(text));
    }
    if (value.empty())
        return;
    Names.push_back(std::move(name));
    Values.push_back(std::move(value));
}

} // namespace zd

#include "audio/tags/TOggTags.hpp"

#include <array>

#include "audio/info/ReaderSupport.hpp"
#include "audio/tags/VorbisComments.hpp"

namespace zd {
namespace {

// One Ogg page header: where its body starts, its segment sizes.
struct OggPage {
    std::int64_t Body = 0;
    std::vector<std::uint8_t> Segments;

    std::int64_t BodySize() const noexcept
    {
        std::int64_t total = 0;
        for (const auto s : Segments)
            total += s;
        return total;
    }
};

bool ReadPage(ByteSource& source, std::int64_t pos, OggPage& page)
{
    std::array<std::uint8_t, 27> header{};
    if (!source.ReadExactAt(pos, header) || !StartsWith(header, "OggS"))
        return false;
    page.Segments.assign(header[26], 0);
    if (!source.ReadExactAt(pos + 27, page.Segments))
        return false;
    page.Body = pos + 27 + static_cast<std::int64_t>(page.Segments.size());
    return true;
}

} // namespace

void TOggTags::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TOggTags::Parse(ByteSource& source) noexcept
{
    *this = TOggTags{};
    Guarded([&] { Read(source); });
}

void TOggTags::Read(ByteSource& source)
{
    if (source.Size() <= 257)
        return;
    std::array<std::uint8_t, 35> head{};
    if (!source.ReadExactAt(0, head))
        return;
    const bool opus = HasTextAt(head, 29, "pusHea");
    if (!opus && !HasTextAt(head, 29, "vorbis"))
        return;
    OggPage page;
    if (!ReadPage(source, 0, page))
        return;
    // The comment packet: the first packet of the second page, continued on
    // the following pages until a segment shorter than 255 bytes ends it.
    std::vector<std::uint8_t> packet;
    std::int64_t next = page.Body + page.BodySize();
    bool ended = false;
    for (int pages = 0; !ended && pages < MaxPages && packet.size() < MaxPacket && ReadPage(source, next, page); ++pages) {
        std::int64_t length = 0;
        for (const auto s : page.Segments) {
            length += s;
            if (s < 255) {
                ended = true;
                break;
            }
        }
        const std::size_t before = packet.size();
        packet.resize(before + static_cast<std::size_t>(std::min<std::int64_t>(length, MaxPacket)));
        packet.resize(before + source.ReadAt(page.Body, std::span(packet).subspan(before)));
        next = page.Body + page.BodySize();
    }
    const std::string_view magic = opus ? "OpusTags" : "\x03vorbis";
    if (!StartsWith(packet, magic))
        return;
    ReadVorbisComments(std::span(packet).subspan(magic.size()), VorbisCommentStyle::Ogg, Names, Values);
}

} // namespace zd

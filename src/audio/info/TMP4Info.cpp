#include "audio/info/TMP4Info.hpp"

#include <array>

#include "audio/info/MP4Boxes.hpp"
#include "audio/info/ReaderSupport.hpp"

namespace zd {

void TMP4Info::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TMP4Info::Parse(ByteSource& source) noexcept
{
    *this = TMP4Info{};
    Guarded([&] { Read(source); });
}

void TMP4Info::Read(ByteSource& source)
{
    const auto moov = FindBox(source, 0, source.Size(), "moov");
    if (!moov)
        return;
    if (const auto mvhd = FindBox(source, moov->Payload, moov->End, "mvhd")) {
        // Version 1: 64-bit times, timescale at 20 and duration at 24;
        // version 0: 32-bit times, timescale at 12 and duration at 16.
        std::array<std::uint8_t, 32> header{};
        const auto got = source.ReadAt(mvhd->Payload, header);
        const std::span<const std::uint8_t> bytes(header.data(), got);
        if (!bytes.empty()) {
            const bool wide = bytes[0] == 1;
            const std::uint32_t timescale = LoadBE32(bytes, wide ? 20 : 12);
            const std::uint64_t duration = wide ? LoadBE64(bytes, 24) : LoadBE32(bytes, 16);
            if (bytes.size() >= (wide ? 32u : 20u))
                Duration = MillisecondsOf(static_cast<double>(duration), timescale);
        }
    }
    if (const auto stsd = FindBoxPath(source, moov->Payload, moov->End, {"trak", "mdia", "minf", "stbl", "stsd"})) {
        std::array<std::uint8_t, 4> type{};
        if (stsd->End - stsd->Payload >= 16 && source.ReadExactAt(stsd->Payload + 12, type))
            Codec.assign(type.begin(), type.end());
    }
}

} // namespace zd

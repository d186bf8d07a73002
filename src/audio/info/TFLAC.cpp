#include "audio/info/TFLAC.hpp"

#include <algorithm>
#include <array>

#include "audio/info/ReaderSupport.hpp"
#include "common/Numbers.hpp"
#include "audio/tags/VorbisComments.hpp"

namespace zd {

void TFLAC::Open(const std::string& name, TVRNFileStream* stream) noexcept
{
    const bool comments = readComments_;
    *this = TFLAC(comments);
    ParseFileOrStream(name, stream, [this](ByteSource& source) { Parse(source); });
}

void TFLAC::Parse(ByteSource& source) noexcept
{
    const bool comments = readComments_;
    *this = TFLAC(comments);
    Guarded([&] { Read(source); });
}

void TFLAC::Read(ByteSource& source)
{
    std::int64_t pos = 0;
    std::array<std::uint8_t, 10> id3{};
    if (source.ReadExactAt(0, id3) && StartsWith(id3, "ID3") && id3[3] >= 2 && id3[3] <= 8)
        pos = std::int64_t{SyncSafeToInt(std::span<const std::uint8_t, 4>(id3.data() + 6, 4))} + 10;

    // "fLaC", the first block header, the 34 STREAMINFO bytes.
    std::array<std::uint8_t, 42> head{};
    if (!source.ReadExactAt(pos, head) || !StartsWith(head, "fLaC"))
        return;
    const std::span<const std::uint8_t> info = std::span(head).subspan(8);
    SampleRate = (std::uint32_t{info[10]} << 12) | (std::uint32_t{info[11]} << 4) | (info[12] >> 4);
    Channels = static_cast<std::uint8_t>(((info[12] >> 1) & 7) + 1);
    BitsPerSample = static_cast<std::uint8_t>((((info[12] & 1) << 4) | (info[13] >> 4)) + 1);
    TotalSamples = (std::uint64_t{info[13] & 0x0Fu} << 32) | LoadBE32(info, 14);
    Duration = MillisecondsOf(static_cast<double>(TotalSamples), SampleRate);
    if (readComments_)
        ReadComments(source, pos + 4);
}

void TFLAC::ReadComments(ByteSource& source, std::int64_t pos)
{
    for (int i = 0; i < MaxBlocks; ++i) {
        std::array<std::uint8_t, 4> header{};
        if (!source.ReadExactAt(pos, header))
            return;
        const bool last = (header[0] & 0x80) != 0;
        const std::uint32_t length = LoadBE32(header, 0) & 0xFFFFFF;
        pos += 4;
        if ((header[0] & 0x7F) == 4) {
            // A damaged length costs no more than the rest of the file.
            std::vector<std::uint8_t> block(static_cast<std::size_t>(std::clamp<std::int64_t>(source.Size() - pos, 0, length)));
            block.resize(source.ReadAt(pos, block));
            ReadVorbisComments(block, VorbisCommentStyle::Flac, Names, Values);
            return;
        }
        if (last)
            return;
        pos += length;
    }
}

} // namespace zd

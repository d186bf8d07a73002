#include "audio/info/TMPEGInfo.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace zd {
namespace {

constexpr std::array<std::array<std::int16_t, 16>, 5> BitrateTable{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // MPEG-1 Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // MPEG-1 Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // MPEG-1 Layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},    // MPEG-2/2.5 Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},         // MPEG-2/2.5 Layer II, III
}};

constexpr std::array<std::array<std::int32_t, 4>, 3> SampleRateTable{{
    {44100, 48000, 32000, 0}, // MPEG-1
    {22050, 24000, 16000, 0}, // MPEG-2
    {11025, 12000, 8000, 0},  // MPEG-2.5
}};

std::int32_t ClampTo32(double value) noexcept
{
    if (!(value > std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

// Round half to even (the default rounding mode).
std::int32_t RoundEven(double value) noexcept { return ClampTo32(std::nearbyint(value)); }

// Reads single bytes going forward through a window, so that the byte-wise
// search costs a few large reads.
class ForwardReader {
public:
    explicit ForwardReader(ByteSource& source) : source_(source), buffer_(65536) {}

    // The byte at pos; false past the end. Throws as ByteSource::ReadAt.
    bool ByteAt(std::int64_t pos, std::uint8_t& out)
    {
        if (pos < start_ || pos >= start_ + static_cast<std::int64_t>(filled_)) {
            start_ = pos;
            filled_ = source_.ReadAt(pos, buffer_);
            if (filled_ == 0)
                return false;
        }
        out = buffer_[static_cast<std::size_t>(pos - start_)];
        return true;
    }

    bool Word32At(std::int64_t pos, std::uint32_t& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b = 0;
            if (!ByteAt(pos + i, b))
                return false;
            out = (out << 8) | b;
        }
        return true;
    }

private:
    ByteSource& source_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = 0;
    std::size_t filled_ = 0;
};

} // namespace

void TMPEGInfo::Clear() noexcept
{
    *this = TMPEGInfo{};
}

bool TMPEGInfo::DecodeHeader(std::uint32_t header) noexcept
{
    if ((header & 0xFFE00000u) != 0xFFE00000u) {
        Version = 0;
        Layer = 0;
        Bitrate = 0;
        SampleRate = 0;
        FrameLength = 0;
        Duration = 0;
        return false;
    }
    static constexpr std::uint8_t Versions[4] = {3, 0, 2, 1};
    Version = Versions[(header >> 19) & 3];
    const unsigned layerBits = (header >> 17) & 3;
    Layer = layerBits == 0 ? 0 : static_cast<std::uint8_t>(4 - layerBits);
    SampleRate = Version == 0 ? 0 : SampleRateTable[Version - 1][(header >> 10) & 3];
    Bitrate = 0;
    if (Version != 0 && Layer != 0) {
        const std::size_t row = Version == 1 ? Layer - 1u : (Layer == 1 ? 3u : 4u);
        Bitrate = BitrateTable[row][(header >> 12) & 15];
    }
    ProtectionBit = (header >> 16) & 1;
    Padding = (header >> 9) & 1;
    ChannelMode = static_cast<std::uint8_t>((header >> 6) & 3);
    CopyFlag = (header >> 3) & 1;
    Original = (header >> 2) & 1;
    Duration = Bitrate != 0 ? RoundEven(static_cast<double>(AudioSize) * 8.0 / Bitrate) : 0;
    FrameLength = 0;
    if (Bitrate > 0 && SampleRate > 0 && Layer != 0) {
        const std::int64_t factor = Layer == 1 ? (Version == 1 ? 48 : 24) : (Version == 1 ? 144 : 72);
        const std::int64_t pad = Padding ? (Layer == 1 ? 4 : 1) : 0;
        FrameLength = static_cast<std::uint16_t>(factor * Bitrate * 1000 / SampleRate + pad);
    }
    return Version != 0 && Layer != 0 && Bitrate > 0 && SampleRate > 0;
}

void TMPEGInfo::Parse(ByteSource& source) noexcept
{
    Clear();
    try {
        Search(source);
    } catch (...) {
        // A read error ends the reader; what was found stays.
    }
}

void TMPEGInfo::Search(ByteSource& source)
{
    const std::int64_t size = source.Size();
    if (size <= 5)
        return;
    AudioSize = ClampTo32(static_cast<double>(size));
    ForwardReader in(source);
    std::int64_t skipped = 0;
    std::int64_t pos = 0;
    std::int64_t frameStart = 0;
    bool found = false;
    const auto fail = [&] {
        Clear();
        AudioSize = ClampTo32(static_cast<double>(size));
    };

    do {
        std::uint32_t window = 0;
        if (!in.Word32At(pos, window))
            break;
        if (pos == 0 && (window >> 8) == 0x494433u && (window & 0xFF) >= 2 && (window & 0xFF) <= 8) {
            std::uint32_t sizeBytes = 0;
            if (!in.Word32At(6, sizeBytes))
                break;
            const std::int64_t tagLength = ((sizeBytes >> 24) & 0xFF) * 2097152LL + ((sizeBytes >> 16) & 0xFF) * 16384LL
                + ((sizeBytes >> 8) & 0xFF) * 128LL + (sizeBytes & 0xFF) + 10;
            AudioSize = ClampTo32(static_cast<double>(AudioSize) - static_cast<double>(tagLength));
            pos = tagLength;
            if (!in.Word32At(pos, window))
                break;
        }
        pos += 4;
        bool valid = DecodeHeader(window);
        while (!valid) {
            if (pos >= size || skipped >= SkipLimit)
                break;
            std::uint8_t next = 0;
            if (!in.ByteAt(pos, next))
                break;
            ++pos;
            ++skipped;
            window = (window << 8) | next;
            valid = DecodeHeader(window);
        }
        frameStart = pos - 4;
        const std::int64_t rest = size - frameStart - FrameLength + (ProtectionBit ? 2 : 0);
        if (!valid || rest <= 0 || frameStart + FrameLength + 4 >= size)
            break;
        std::uint32_t second = 0;
        if (!in.Word32At(frameStart + FrameLength, second))
            break;
        if (DecodeHeader(second)) {
            found = true;
            break;
        }
        // Not followed by a frame: go on searching after this header. The jump
        // counts as skipped bytes so that the search stays bounded.
        pos = frameStart + 4;
        skipped += 4;
    } while (pos + 4 < size && skipped < SkipLimit);

    if (!found) {
        fail();
        return;
    }
    if (pos + 4 < size)
        ReadVbrHeader(source, frameStart);
}

void TMPEGInfo::ReadVbrHeader(ByteSource& source, std::int64_t frameStart)
{
    std::array<std::uint8_t, 18> vbri{};
    const bool haveVbri = source.ReadExactAt(frameStart + 36, vbri);
    std::int64_t frames = -1;
    if (haveVbri && StartsWith(vbri, "VBRI")) {
        frames = LoadBE32(vbri, 14);
        if (frames != 0)
            AudioSize = static_cast<std::int32_t>(LoadBE32(vbri, 10) & 0x7FFFFFFF);
    } else {
        const bool mono = ChannelMode == 3;
        const int offset = Version == 1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
        std::array<std::uint8_t, 12> xing{};
        bool haveXing = false;
        if (offset == 36) {
            std::copy_n(vbri.begin(), xing.size(), xing.begin());
            haveXing = haveVbri;
        } else {
            haveXing = source.ReadExactAt(frameStart + offset, xing);
        }
        if (haveXing && (StartsWith(xing, "Xing") || StartsWith(xing, "Info")))
            frames = LoadBE32(xing, 8);
    }
    if (frames < 0)
        return;
    if (frames == 0 || SampleRate <= 0) {
        Duration = 0;
        return;
    }
    const double samplesPerFrame = SampleRate < 32000 ? 576.0 : 1152.0;
    Duration = RoundEven(static_cast<double>(frames) * samplesPerFrame / SampleRate * 1000.0);
    FrameLength = static_cast<std::uint16_t>(AudioSize / frames);
    Bitrate = Duration > 0 ? ClampTo32(static_cast<double>(AudioSize) * 8.0 / Duration) : 0;
}

} // namespace zd

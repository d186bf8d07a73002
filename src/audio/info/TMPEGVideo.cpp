#include "audio/info/TMPEGVideo.hpp"

#include <vector>

#include "audio/info/ReaderSupport.hpp"
#include "audio/info/TailSearch.hpp"

namespace zd {
namespace {

// The time code of a group-of-pictures header whose start code is at
// bytes[at], in ms: hours, minutes and seconds, plus the pictures when the
// frame rate is known (0 when not).
std::int64_t TimeCodeAt(std::span<const std::uint8_t> bytes, std::size_t at, double frameRate = 0) noexcept
{
    const std::uint32_t code = LoadBE32(bytes, at + 4);
    const std::int64_t seconds =
        ((code >> 13) & 0x3F) * 1000LL + ((code >> 20) & 0x3F) * 60000LL + ((code >> 26) & 0x1F) * 3600000LL;
    const auto pictures = static_cast<std::int64_t>((code >> 7) & 0x3F);
    return frameRate > 0 ? seconds + static_cast<std::int64_t>(pictures * 1000 / frameRate) : seconds;
}

// The frame rate of the first sequence header in the first 64 KiB, 0 when none.
double FrameRateOf(ByteSource& source)
{
    static constexpr double rates[] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    std::vector<std::uint8_t> head(65536);
    head.resize(source.ReadAt(0, head));
    for (std::size_t i = 0; i + 8 <= head.size(); ++i) {
        if (head[i] == 0 && head[i + 1] == 0 && head[i + 2] == 1 && head[i + 3] == 0xB3) {
            const unsigned code = head[i + 7] & 0x0F;
            return code < std::size(rates) ? rates[code] : 0;
        }
    }
    return 0;
}

bool IsGopStart(std::span<const std::uint8_t> bytes, std::size_t at) noexcept
{
    return bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1 && bytes[at + 3] == 0xB8;
}

} // namespace

void TMPEGVideo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TMPEGVideo::Parse(ByteSource& source) noexcept
{
    *this = TMPEGVideo{};
    Guarded([&] { Read(source); });
}

void TMPEGVideo::Read(ByteSource& source)
{
    constexpr std::size_t kWindow = 8192;
    constexpr std::int64_t kStep = 8188;
    const std::int64_t size = source.Size();
    if (size <= 8194)
        return;
    // From the end: the time codes are trusted once one differs by exactly
    // one second from the one seen before it; the latest of them (with its
    // pictures) gives the length.
    const double frameRate = FrameRateOf(source);
    BackwardWindows tail(source, 65536);
    std::int64_t previous = 0;
    std::int64_t latest = 0;
    bool found = false;
    for (std::int64_t n = size - 3; n > 8194 && !found && size - n <= SearchLimit;) {
        n -= kStep;
        const auto window = tail.At(n, kWindow);
        for (std::size_t i = 0; i + 8 <= window.size() && i < kWindow - 8; ++i) {
            if (!IsGopStart(window, i))
                continue;
            const std::int64_t code = TimeCodeAt(window, i);
            latest = std::max(latest, TimeCodeAt(window, i, frameRate));
            if (code - previous == 1000 || previous - code == 1000) {
                Duration = static_cast<std::int32_t>(std::min<std::int64_t>(latest, 0x7FFFFFFF));
                found = true;
                break;
            }
            previous = code;
        }
    }
    if (Duration <= 3600000)
        return;
    // A stream whose time codes do not start at 0: less the first one.
    std::vector<std::uint8_t> window(2048);
    for (std::int64_t pos = 0; pos < size && pos <= SearchLimit; pos += 2045) {
        const auto got = source.ReadAt(pos, window);
        const std::span<const std::uint8_t> bytes(window.data(), got);
        for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
            if (IsGopStart(bytes, i)) {
                Duration = static_cast<std::int32_t>(Duration - TimeCodeAt(bytes, i, frameRate));
                return;
            }
        }
        if (got < window.size())
            return;
    }
}

} // namespace zd

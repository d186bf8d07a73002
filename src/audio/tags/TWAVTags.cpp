#include "audio/tags/TWAVTags.hpp"

#include <array>
#include <cmath>

#include "audio/MarkedText.hpp"
#include "audio/info/ReaderSupport.hpp"
#include "audio/info/TailSearch.hpp"
#include "common/CodePage.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

using Id = std::array<std::uint8_t, 4>;

std::string_view AsText(std::span<const std::uint8_t> bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A fixed text field: up to its first NUL.
std::string_view Field(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t length) noexcept
{
    if (at >= bytes.size())
        return {};
    const std::string_view text = AsText(bytes.subspan(at, std::min(length, bytes.size() - at)));
    return text.substr(0, text.find('\0'));
}

// The INFO ids looked up in a "LIST" chunk, in this order.
constexpr std::array<std::string_view, 26> kInfoIds{"ITTL", "IART", "IAAR", "IYER", "IYR ", "ICRD", "ITRK", "INAM",
    "IALB", "IPRD", "IGRE", "IGNR", "ICMT", "ISRC", "ISRF", "IMED", "ICOM", "IMUS", "IPUB", "ICMS", "ITCH", "IBPM",
    "IURL", "BCPR", "BTPO", "BFAD"};

} // namespace

void TWAVTags::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TWAVTags::Parse(ByteSource& source) noexcept
{
    *this = TWAVTags{};
    Guarded([&] { Read(source); });
}

void TWAVTags::Add(std::string id, std::string_view bytes)
{
    std::string value = WideToMarked(AnsiToWide(TrimText(bytes)));
    if (!value.empty())
        Pairs.push_back({std::move(id), std::move(value)});
}

void TWAVTags::Read(ByteSource& source)
{
    const std::int64_t size = source.Size();
    std::array<std::uint8_t, 12> riff{};
    if (size <= 43 || !source.ReadExactAt(0, riff) || !StartsWith(riff, "RIFF") || !HasTextAt(riff, 8, "WAVE"))
        return;
    std::int64_t pos = 12;
    std::array<std::uint8_t, 4> word{};
    // Up to "fmt " as the stream-information walk goes.
    for (;;) {
        Id id{};
        if (!source.ReadExactAt(pos, id))
            return;
        if (id[0] == 0 && !StartsWith(id, "fmt ")) {
            ++pos;
            if (!source.ReadExactAt(pos, id))
                return;
        }
        if (!source.ReadExactAt(pos + 4, word))
            return;
        const std::uint32_t chunkSize = LoadLE32(word, 0);
        pos += 8;
        if (StartsWith(id, "fmt ")) {
            std::array<std::uint8_t, 16> format{};
            if (chunkSize < 16 || !source.ReadExactAt(pos, format))
                return;
            FormatTag = LoadLE16(format, 0);
            Channels = LoadLE16(format, 2);
            SampleRate = LoadLE32(format, 4);
            AvgBytesPerSec = LoadLE32(format, 8);
            BlockAlign = LoadLE16(format, 12);
            BitsPerSample = LoadLE16(format, 14);
            if (AvgBytesPerSec == 0)
                return;
            pos += chunkSize >= 18 ? chunkSize : 16;
            break;
        }
        if (pos + chunkSize + 20 > size)
            return;
        pos += chunkSize;
    }

    bool found = false;   // one descriptive source was read
    bool sawList = false;
    bool sawDisp = false;
    while (pos + 10 <= size) {
        Id id{};
        std::uint32_t chunkSize = 0;
        if (!ReadRiffChunkHeader(source, pos, id, chunkSize))
            break;
        if (StartsWith(id, "DISP") || StartsWith(id, "LIST")) {
            if (pos + chunkSize > size || chunkSize > MaxChunk)
                break;
            std::vector<std::uint8_t> data(chunkSize);
            if (!source.ReadExactAt(pos, data))
                break;
            pos += chunkSize;
            if (StartsWith(id, "DISP")) {
                sawDisp = true;
                if (data.size() > 4)
                    Add("DISP", Field(data, 4, data.size() - 4));
            } else {
                sawList = true;
                ReadList(data);
            }
            if (found)
                break;
            found = true;
        } else if (StartsWith(id, "cart")) {
            if (chunkSize <= 1023 || pos + chunkSize + 10 > size)
                break;
            ReadCart(source, pos);
            break;
        } else if (StartsWith(id, "scot")) {
            if (chunkSize <= 512 && pos + chunkSize <= size)
                ReadScot(source, pos);
            break;
        } else {
            if (chunkSize == 0 || pos + chunkSize + 10 > size)
                break;
            pos += chunkSize;
        }
    }
    if (sawList && !sawDisp) {
        for (auto& pair : Pairs) {
            if (pair.Id == "INAM" || pair.Id == "IALB") {
                pair.Id = "DISP";
                break;
            }
        }
    }
}

void TWAVTags::ReadList(std::span<const std::uint8_t> data)
{
    const bool hasAlbum = FindBytes(data, "IALB") >= 0;
    for (const std::string_view id : kInfoIds) {
        std::int64_t at = FindBytes(data, id);
        if (at < 0) {
            const std::string lower{'t', static_cast<char>(id[1] | 0x20), static_cast<char>(id[2] | 0x20),
                static_cast<char>(id[3] | 0x20)};
            at = FindBytes(data, lower);
        }
        if (at < 0)
            continue;
        const auto start = static_cast<std::size_t>(at) + 8;
        const std::uint32_t length = LoadLE32(data, static_cast<std::size_t>(at) + 4);
        if (length >= (id == "ICMT" ? 2048u : 256u) || start > data.size())
            continue;
        const std::string name = id == "INAM" && !hasAlbum ? "IALB" : std::string(id);
        Add(name, Field(data, start, length));
    }
}

bool TWAVTags::ReadCart(ByteSource& source, std::int64_t pos)
{
    std::array<std::uint8_t, 4> word{};
    if (!source.ReadExactAt(pos - 4, word))
        return false;
    const std::uint32_t declared = LoadLE32(word, 0);
    std::vector<std::uint8_t> cart(declared >= 2048 ? 2048 : 1024);
    if (!source.ReadExactAt(pos, cart))
        return false;
    const bool zeroVersion = cart[0] == 0 && cart[1] == 0 && cart[2] == 0 && cart[3] == 0;
    if (zeroVersion) {
        if (!((declared >= 1024 && declared <= 1026) || declared == 2048))
            return false;
    } else if (!StartsWith(cart, "01")) {
        return false;
    }
    if (StartsWith(cart, "0100") && cart.size() > 1024)
        std::fill(cart.begin() + 1024, cart.end(), 0);
    Add("DISP", Field(cart, 4, 64));
    const std::string_view artist = Field(cart, 68, 64);
    Add("IART", !artist.empty() ? artist : Field(cart, 488, 64));
    Add("ITRK", Field(cart, 132, 64));
    Add("CLNT", Field(cart, 196, 64));
    Add("ISRC", Field(cart, 260, 64));
    Add("INAM", Field(cart, 388, 64));
    Add("SDAT", Field(cart, 452, 10));
    Add("STIM", Field(cart, 462, 8));
    Add("EDAT", Field(cart, 470, 10));
    Add("ETIM", Field(cart, 480, 8));
    Add("ICMT", Field(cart, 616, 64));
    Add("IURL", Field(cart, 1024, 1024));
    // Post timers: eight of (usage id, sample count).
    for (std::size_t i = 0; i < 8 && SampleRate > 0; ++i) {
        const std::size_t at = 684 + i * 8;
        const std::string_view usage = AsText(std::span(cart).subspan(at, 4));
        const std::uint32_t samples = LoadLE32(cart, at + 4);
        const char* id = usage == "AUDs" ? "Cue"
            : usage == "SEGs"             ? "IMED"
            : usage == "OUTs"             ? "Outro"
            : usage.starts_with("INT")    ? "ISRF"
                                          : nullptr;
        if (id != nullptr)
            Add(id, std::to_string(static_cast<std::int64_t>(std::trunc(static_cast<double>(samples) / SampleRate * 1000.0))));
    }
    return true;
}

void TWAVTags::ReadScot(ByteSource& source, std::int64_t pos)
{
    std::array<std::uint8_t, 350> scot{};
    if (!source.ReadExactAt(pos, scot))
        return;
    Add("DISP", Field(scot, 4, 43));
    Add("IART", Field(scot, 267, 34));
    Add("IYER", Field(scot, 338, 4));
    const std::int32_t intro = TextToIntDef0(AsText(std::span(scot).subspan(335, 2)));
    if (intro != 0)
        Add("ISRF", std::to_string(std::int64_t{intro} * 1000));
    Add("ICMT", Field(scot, 301, 34));
}

} // namespace zd

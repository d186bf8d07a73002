#include "audio/tags/TWMAfile.hpp"

#include <array>
#include <vector>

#include "audio/info/ASFObjects.hpp"
#include "audio/info/ReaderSupport.hpp"
#include "common/CodePage.hpp"
#include "common/Numbers.hpp"

namespace zd {
namespace {

// A UTF-16 little-endian text of byteLength bytes at bytes[at], up to its
// first NUL and at most TWMAfile::MaxChars characters.
std::u16string Utf16At(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t byteLength)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < byteLength && at + i + 1 < bytes.size() && text.size() < TWMAfile::MaxChars; i += 2) {
        const auto c = static_cast<char16_t>(bytes[at + i] | (bytes[at + i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

std::u16string Trimmed(std::u16string text)
{
    while (!text.empty() && text.back() <= 32)
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && text[start] <= 32)
        ++start;
    return text.substr(start);
}

std::int32_t IntOf(const std::u16string& text) { return TextToIntDef0(WideToUtf8(text)); }

} // namespace

bool TWMAfile::Open(const std::string& name, TVRNFileStream* stream) noexcept
{
    OpenReader(*this, name, stream);
    return Valid;
}

void TWMAfile::Parse(ByteSource& source) noexcept
{
    *this = TWMAfile{};
    Guarded([&] { Read(source); });
}

void TWMAfile::Read(ByteSource& source)
{
    const auto load = [&](const TAsfObject& object) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(object.Size, MaxObject)));
        bytes.resize(source.ReadAt(object.Start, bytes));
        return bytes;
    };
    const bool header = WalkAsfHeader(source, [&](const TAsfObject& object) {
        if (object.Id == kAsfFileProperties) {
            std::array<std::uint8_t, 4> b{};
            if (source.ReadExactAt(object.Start + 100, b))
                MaxBitrate = LoadLE32(b, 0);
        } else if (object.Id == kAsfStreamProperties) {
            std::array<std::uint8_t, 10> b{};
            if (source.ReadExactAt(object.Start + 80, b)) {
                Channels = LoadLE16(b, 0);
                SampleRate = LoadLE32(b, 2);
                AvgBytesPerSec = LoadLE32(b, 6);
            }
        } else if (object.Id == kAsfContentDescription) {
            ReadContentDescription(load(object));
        } else if (object.Id == kAsfExtendedContentDescription) {
            ReadExtendedDescription(load(object));
        }
        return true;
    });
    if (!header)
        return;
    for (std::u16string* text : {&Title, &Author, &Description, &AlbumTitle, &Track, &Year, &Genre, &TrackNumberText,
             &Composer, &Publisher, &Conductor, &Category, &BeatsPerMinuteText, &ISRC, &Mood, &Text, &AlbumCoverURL,
             &UserWebURL, &AlbumArtist, &ReplayGainTrackGain})
        *text = Trimmed(std::move(*text));
    TrackNumber = IntOf(TrackNumberText);
    if (TrackNumber == 0 && !Track.empty())
        TrackNumber = IntOf(Track) + 1;
    BeatsPerMinute = IntOf(BeatsPerMinuteText);
    Valid = MaxBitrate > 0 && MaxBitrate < 1600000 && (Channels == 1 || Channels == 2) && SampleRate >= 8000
        && SampleRate <= 96000 && AvgBytesPerSec >= 1 && AvgBytesPerSec <= 144000;
}

void TWMAfile::ReadContentDescription(std::span<const std::uint8_t> object)
{
    // Five 16-bit byte lengths (title, author, copyright, description,
    // rating), then the texts.
    std::size_t at = 34;
    std::array<std::u16string*, 5> slots{&Title, &Author, nullptr, &Description, nullptr};
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const std::uint16_t length = LoadLE16(object, 24 + i * 2);
        if (slots[i] != nullptr)
            *slots[i] = Utf16At(object, at, length);
        at += length;
    }
}

void TWMAfile::ReadExtendedDescription(std::span<const std::uint8_t> object)
{
    const std::pair<std::u16string_view, std::u16string*> names[] = {
        {u"WM/TITLE", &Title}, {u"WM/AUTHOR", &Author}, {u"WM/ALBUMTITLE", &AlbumTitle}, {u"WM/TRACK", &Track},
        {u"WM/YEAR", &Year}, {u"WM/GENRE", &Genre}, {u"WM/DESCRIPTION", &Description},
        {u"WM/TRACKNUMBER", &TrackNumberText}, {u"WM/COMPOSER", &Composer}, {u"WM/PUBLISHER", &Publisher},
        {u"WM/CONDUCTOR", &Conductor}, {u"WM/CATEGORY", &Category}, {u"WM/BEATSPERMINUTE", &BeatsPerMinuteText},
        {u"WM/ISRC", &ISRC}, {u"WM/MOOD", &Mood}, {u"WM/TEXT", &Text}, {u"WM/ALBUMCOVERURL", &AlbumCoverURL},
        {u"WM/USERWEBURL", &UserWebURL}, {u"WM/ALBUMARTIST", &AlbumArtist},
        {u"REPLAYGAIN_TRACK_GAIN", &ReplayGainTrackGain}};
    const std::uint16_t count = LoadLE16(object, 24);
    std::size_t at = 26;
    for (std::uint16_t i = 0; i < count && at + 2 <= object.size(); ++i) {
        const std::uint16_t nameLength = LoadLE16(object, at);
        const std::size_t nameAt = at + 2;
        const std::size_t typeAt = nameAt + nameLength;
        if (typeAt + 4 > object.size())
            return;
        const std::uint16_t type = LoadLE16(object, typeAt);
        const std::uint16_t valueLength = LoadLE16(object, typeAt + 2);
        const std::size_t valueAt = typeAt + 4;
        if (valueAt + valueLength > object.size())
            return;
        at = valueAt + valueLength;
        if (type != 0)
            continue; // only string values
        std::u16string name = Trimmed(Utf16At(object, nameAt, nameLength));
        for (char16_t& c : name)
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - u'a' + u'A');
        for (const auto& [candidate, slot] : names)
            if (name == candidate)
                *slot = Utf16At(object, valueAt, valueLength);
    }
}

} // namespace zd

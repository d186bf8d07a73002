#include "audio/tags/FormatImport.hpp"

#include <string_view>
#include <utility>

#include "audio/FileOps.hpp"
#include "audio/MarkedText.hpp"
#include "audio/info/TFLAC.hpp"
#include "audio/tags/ID3Genres.hpp"
#include "audio/tags/TAPETags.hpp"
#include "audio/tags/TMP3Tags.hpp"
#include "audio/tags/TMP4Tags.hpp"
#include "audio/tags/TOggTags.hpp"
#include "audio/tags/TWAVTags.hpp"
#include "audio/tags/TWMAfile.hpp"
#include "common/CodePage.hpp"
#include "common/Numbers.hpp"
#include "common/SongRestriction.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

// How a source value goes into its field.
enum class How { Clean, AsIs, Date, Bpm, Year, Tempo, Number };

struct Mapping {
    std::string_view Source;
    std::string_view Field;
    How Rule = How::Clean;
};

void Apply(TAPETags& tags, const Mapping& m, const std::string& value)
{
    switch (m.Rule) {
    case How::Clean: tags.SetCleanField(m.Field, value); break;
    case How::AsIs: tags.SetField(m.Field, value); break;
    case How::Date: tags.SetDateField(m.Field, value); break;
    case How::Bpm: tags.SetField(m.Field, TAPETags::NormalizeBPM(value)); break;
    case How::Year: tags.SetYear(value); break;
    case How::Tempo: tags.SetTempoText(value); break;
    case How::Number:
        if (IsNumber(value))
            tags.SetField(m.Field, value);
        break;
    }
}

// The first mapping whose source matches, or nullptr.
template <std::size_t N, typename Equal>
const Mapping* Find(const Mapping (&table)[N], std::string_view source, Equal equal)
{
    for (const Mapping& m : table)
        if (equal(m.Source, source))
            return &m;
    return nullptr;
}

constexpr auto kExact = [](std::string_view a, std::string_view b) { return a == b; };

constexpr Mapping kID3[] = {
    {"TIT2", "Title"}, {"TPE1", "Artist"}, {"TPE2", "Album Artist"}, {"TPE3", "Conductor"}, {"TCOM", "Composer"},
    {"TCON", "Genre"}, {"TALB", "Album"}, {"TSRC", "ISRC"}, {"TYER", "Year"}, {"TDRC", "RecordDate", How::Date},
    {"TPUB", "Publisher"}, {"ASIN", "EAN/UPC"}, {"COMM", "Comment", How::AsIs}, {"TRCK", "Track"},
    {"WXXX", "URL"}, {"WCOM", "URL2"}, {"TBPM", "BPM", How::Bpm}, {"TMOO", "Mood"}, {"3PRO", "MP3PRO", How::AsIs},
};

constexpr Mapping kMP4[] = {
    {"nam", "Title"}, {"art", "Artist"}, {"wrt", "Composer"}, {"com", "Composer"}, {"gen", "Genre"},
    {"aart", "Album Artist"}, {"alb", "Album"}, {"day", "Year"}, {"trk", "Track"},
    {"cmt", "Comment", How::AsIs}, {"trkn", "Track", How::AsIs}, {"rgtg", "REPLAYGAIN_TRACK_GAIN", How::AsIs},
    {"tmpo", "BPM", How::Bpm},
};

constexpr Mapping kVorbis[] = {
    {"TITLE", "Title"}, {"ARTIST", "Artist"}, {"CONDUCTOR", "Conductor"}, {"COMPOSER", "Composer"},
    {"GENRE", "Genre"}, {"ALBUM", "Album"}, {"ALBUM ARTIST", "Album Artist"}, {"ALBUMARTIST", "Album Artist"},
    {"BAND", "Album Artist"}, {"DATE", "Year"}, {"PUBLISHER", "Publisher"}, {"LABEL", "Publisher"},
    {"ORGANIZATION", "Publisher"}, {"COMMENT", "Comment", How::AsIs}, {"DESCRIPTION", "Comment", How::AsIs},
    {"ISRC", "ISRC"}, {"EAN/UPC", "EAN/UPC"}, {"EAN/UPN", "EAN/UPC"}, {"URL", "URL"}, {"TRACKNUMBER", "Track"},
    {"TRACK", "Track"}, {"INTRO", "Intro", How::Number}, {"SEGUE", "Segue", How::Number}, {"BPM", "BPM", How::Bpm},
    {"TEMPO", "Tempo", How::Tempo}, {"FADESPEED", "FadeSpeed", How::AsIs}, {"CLIENT", "Client"},
    {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_GAIN", How::AsIs}, {"MOOD", "Mood"}, {"LANGUAGE", "Language"},
    {"OTHER", "Other"},
};

constexpr Mapping kWAV[] = {
    {"DISP", "Title"}, {"ITTL", "Title"}, {"IART", "Artist"}, {"IAAR", "Album Artist"}, {"IYER", "Year", How::Year},
    {"ICRD", "Year", How::Year}, {"IALB", "Album"}, {"IPRD", "Album"}, {"ITRK", "Track"}, {"IGRE", "Genre"},
    {"IGNR", "Genre"}, {"ICMT", "Comment", How::AsIs}, {"ISRC", "ISRC"}, {"BTPO", "Tempo", How::Tempo},
    {"ICOM", "Composer"}, {"IMUS", "Composer"}, {"IPUB", "Publisher"}, {"ICMS", "Publisher"},
    {"BCPR", "Publisher"}, {"ITCH", "Conductor"}, {"IBPM", "BPM", How::Bpm}, {"CLNT", "Client"}, {"Cue", "Cue"},
    {"Outro", "Outro"},
};

// A WAV value of an id without a field of its own: a web address, or a year
// written as "<year>1999<".
void ImportOtherWAVValue(TAPETags& tags, const std::string& value)
{
    if (value.find("http:") != std::string::npos) {
        tags.SetCleanField("URL", value);
        return;
    }
    const std::string lower = AsciiLower(value);
    const auto at = lower.find("<year>");
    if (at == std::string::npos)
        return;
    const std::string year = value.substr(at + 6, value.find('<', at + 6) - (at + 6));
    if (year.size() >= 2)
        tags.SetYear(year);
}

} // namespace

void ImportMP3Tags(TAPETags& tags)
{
    TMP3Tags id3;
    id3.Open(tags.FileName(), tags.Stream());
    bool comment = false;
    for (const auto& [id, value] : id3.Frames) {
        const Mapping* m = Find(kID3, id, kExact);
        if (m == nullptr || (id == "COMM" && std::exchange(comment, true)))
            continue;
        Apply(tags, *m, value);
    }
}

void ImportMP4Tags(TAPETags& tags)
{
    TMP4Tags mp4;
    mp4.Open(tags.FileName(), tags.Stream());
    for (std::size_t i = 0; i < mp4.Names.size(); ++i) {
        const std::string& name = mp4.Names[i];
        const std::string& value = mp4.Values[i];
        if (name == "gnre") {
            // The item holds the ID3v1 genre number plus one.
            const std::int32_t n = TextToIntDef0(value);
            if (n >= 1 && n <= 127 && !ID3GenreName(n - 1).empty())
                tags.SetField("Genre", ID3GenreName(n - 1));
            continue;
        }
        if (const Mapping* m = Find(kMP4, name, [](std::string_view a, std::string_view b) { return a == AsciiLower(b); }))
            Apply(tags, *m, value);
    }
}

void ImportVorbisTags(TAPETags& tags)
{
    std::vector<std::string> names;
    std::vector<std::string> values;
    if (ExtensionLower(tags.FileName()) == ".flac") {
        TFLAC flac(true);
        flac.Open(tags.FileName(), tags.Stream());
        names = std::move(flac.Names);
        values = std::move(flac.Values);
    } else {
        TOggTags ogg;
        ogg.Open(tags.FileName(), tags.Stream());
        names = std::move(ogg.Names);
        values = std::move(ogg.Values);
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        if (const Mapping* m = Find(kVorbis, names[i], kExact))
            Apply(tags, *m, values[i]);
}

void ImportWAVTags(TAPETags& tags)
{
    TWAVTags wav;
    wav.Open(tags.FileName(), tags.Stream());
    std::int32_t startDay = 0;
    std::int32_t endDay = 0;
    for (const auto& [id, value] : wav.Pairs) {
        if (id == "ISRF") {
            const std::int32_t intro = TextToIntDef0(value);
            if (intro > 99 && intro < 30000)
                tags.SetCleanField("Intro", std::to_string(intro));
        } else if (id == "IMED") {
            const std::int32_t segue = TextToIntDef0(value);
            if (segue > 499) {
                const std::int32_t duration = TextToIntDef0(tags.GetField("Duration"));
                const bool fromEnd = duration > 0 && segue < duration / 2.0;
                tags.SetCleanField("Segue", std::to_string(fromEnd ? duration - segue : segue));
                tags.SetField("SegueDB", "1");
            }
        } else if (id == "SDAT") {
            startDay = TAPETags::DayNumber(value);
        } else if (id == "EDAT") {
            endDay = TAPETags::DayNumber(value);
        } else if (const Mapping* m = Find(kWAV, id, kExact)) {
            Apply(tags, *m, value);
        } else {
            ImportOtherWAVValue(tags, value);
        }
    }
    if (startDay > 36526 || endDay > 36526) {
        TSongRestriction restriction;
        restriction.StartDate = static_cast<std::uint32_t>(std::max(startDay, 0));
        restriction.EndDate = static_cast<std::uint32_t>(std::max(endDay, 0));
        const auto bytes = restriction.ToBytes();
        tags.SetField("XRestrictions", std::string(bytes.begin(), bytes.end()));
    }
}

void ImportWMATags(TAPETags& tags)
{
    TWMAfile wma;
    if (!wma.Open(tags.FileName(), tags.Stream()))
        return;
    const std::pair<const std::u16string*, std::string_view> clean[] = {
        {&wma.Author, "Artist"}, {&wma.Title, "Title"}, {&wma.AlbumArtist, "Album Artist"},
        {&wma.AlbumTitle, "Album"}, {&wma.Year, "Year"}, {&wma.Genre, "Genre"}, {&wma.Composer, "Composer"},
        {&wma.Publisher, "Publisher"}, {&wma.Conductor, "Conductor"}, {&wma.Category, "Category"},
        {&wma.ISRC, "ISRC"}, {&wma.Mood, "Mood"}, {&wma.AlbumCoverURL, "URL"}, {&wma.UserWebURL, "URL2"}};
    for (const auto& [text, field] : clean)
        if (!text->empty())
            tags.SetCleanWideField(field, *text);
    if (wma.TrackNumber != 0)
        tags.SetCleanField("Track", std::to_string(wma.TrackNumber));
    for (const auto& [text, field] : {std::pair{&wma.Description, "Comment"}, std::pair{&wma.Text, "Comment"},
             std::pair{&wma.ReplayGainTrackGain, "REPLAYGAIN_TRACK_GAIN"}})
        if (!text->empty())
            tags.SetWideField(field, *text);
    if (wma.BeatsPerMinute != 0)
        tags.SetField("BPM", std::to_string(wma.BeatsPerMinute));
}

} // namespace zd

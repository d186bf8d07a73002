// The containers' own tag readers on files built byte by byte, and their
// import into the tag store.

#include <gtest/gtest.h>

#include "ContainerTestData.hpp"
#include "TagTestFiles.hpp"
#include "audio/info/TFLAC.hpp"
#include "audio/tags/TAPETags.hpp"
#include "audio/tags/TMP3Tags.hpp"
#include "audio/tags/TMP4Tags.hpp"
#include "audio/tags/TOggTags.hpp"
#include "audio/tags/TWAVTags.hpp"
#include "audio/tags/TWMAfile.hpp"
#include "common/CodePage.hpp"

namespace zd {
namespace {

using namespace testdata;
using namespace std::literals;

// An ID3v2 frame (version 3: plain size; version 4: sync-safe size).
Bytes Id3Frame(std::string_view id, const Bytes& body, int version = 3)
{
    Bytes f = TextBytes(id);
    const auto n = static_cast<std::uint32_t>(body.size());
    AppendBE32(f, version == 4 ? ((n & 0x7F) | ((n << 1) & 0x7F00) | ((n << 2) & 0x7F0000)) : n);
    f.push_back(0);
    f.push_back(0);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes Id3Tag(const Bytes& frames, int version = 3, std::size_t padding = 20)
{
    Bytes tag = Id3v2Tag(10 + frames.size() + padding);
    tag[3] = static_cast<std::uint8_t>(version);
    std::copy(frames.begin(), frames.end(), tag.begin() + 10);
    return tag;
}

Bytes Utf16Le(std::u16string_view text, bool bom = true)
{
    Bytes b;
    if (bom) {
        b.push_back(0xFF);
        b.push_back(0xFE);
    }
    for (const char16_t c : text)
        PutLE16(b, static_cast<std::uint16_t>(c));
    return b;
}

TTagPairs ReadID3(const Bytes& bytes)
{
    MemorySource source(bytes);
    TMP3Tags tags;
    tags.Parse(source);
    return tags.Frames;
}

std::string ValueOf(const TTagPairs& pairs, std::string_view id)
{
    for (const auto& p : pairs)
        if (p.Id == id)
            return p.Value;
    return "<none>";
}

TEST(TagReaders, ID3v2FramesAndTheirEncodings)
{
    const Bytes frames = Concat({
        Id3Frame("TIT2", Concat({{0}, TextBytes("  Plain \xE9 title ")})),
        Id3Frame("TPE1", Concat({{1}, Utf16Le(u"Bj\u00F6rk"), {0, 0}})),
        Id3Frame("TALB", Concat({{1}, Utf16Le(u"Debut")})),
        Id3Frame("TPE2", Concat({{1}, {0xFE, 0xFF, 0, 'B', 0, 'E'}})),
        Id3Frame("TCOM", Concat({{3}, TextBytes("Caf\xC3\xA9")})),
        Id3Frame("TPE3", Concat({{3}, TextBytes("Caf\xE9")})),
        Id3Frame("COMM", Concat({{0}, TextBytes("eng"), {0}, TextBytes("First comment")})),
        Id3Frame("COMM", Concat({{1}, TextBytes("eng"), Utf16Le(u""), {0, 0}, Utf16Le(u"Wide comment"), {0, 0}})),
        Id3Frame("TCON", Concat({{0}, TextBytes("(17)")})),
        Id3Frame("TCON", Concat({{0}, TextBytes("(17)Indie Rock")})),
        Id3Frame("APIC", Concat({{0}, TextBytes("image/png"), Bytes(50, 0)})),
        Id3Frame("TXXX", Concat({{0}, TextBytes("x"), {0}, TextBytes("y")})),
        Id3Frame("TRCK", Bytes{0}),
    });
    const Bytes file = Concat({Id3Tag(frames), MpegFrames(kMpeg1Header, 3, kMpeg1FrameLength), Id3v1Tag("v1 title", 3)});
    const TTagPairs pairs = ReadID3(file);
    const std::pair<const char*, std::string> expected[] = {
        {"TIT2", "Plain \xE9 title"},
        {"TPE1", "\x7F" "Bj\xC3\xB6rk"},
        {"TALB", "Debut"},
        {"TPE2", "BE"},
        {"TCOM", "\x7F" "Caf\xC3\xA9"},
        {"TPE3", "\x7F" "Caf\xC3\xA9"},
        {"COMM", "First comment"},
        {"TCON", "Rock"},
    };
    for (const auto& [id, value] : expected)
        EXPECT_EQ(ValueOf(pairs, id), value) << id;
    ASSERT_EQ(pairs.size(), 10u) << "APIC, TXXX and the empty TRCK are left out; no ID3v1 fields";
    EXPECT_EQ(pairs[7].Value, "Wide comment");
    EXPECT_EQ(pairs[9].Value, "Indie Rock");

    Bytes v22 = file;
    v22[3] = 2;
    EXPECT_TRUE(ReadID3(v22).empty()) << "an ID3v2.2 tag gives no frames";

    const Bytes v24 = Concat({Id3Tag(Id3Frame("TIT2", Concat({{3}, Bytes(200, 'a')}), 4), 4),
        MpegFrames(kMpeg2Header, 3, kMpeg2FrameLength)});
    const TTagPairs pairs24 = ReadID3(v24);
    EXPECT_EQ(ValueOf(pairs24, "TIT2"), std::string(200, 'a')) << "sync-safe frame size";
    EXPECT_EQ(ValueOf(pairs24, "3PRO"), "1") << "MPEG-2 Layer III after the tag";
}

TEST(TagReaders, ID3v1FieldsWhenThereIsNoID3v2Tag)
{
    Bytes v1 = Id3v1Tag("Title", 0);
    const std::string comment = " note";
    std::copy(comment.begin(), comment.end(), v1.begin() + 3 + 94);
    v1[3 + 123] = 7;
    const TTagPairs pairs = ReadID3(Concat({MpegFrames(kMpeg1Header, 3, kMpeg1FrameLength), v1}));
    EXPECT_EQ(ValueOf(pairs, "TIT2"), "Title");
    EXPECT_EQ(ValueOf(pairs, "COMM"), "     note");
    EXPECT_EQ(ValueOf(pairs, "TRCK"), "7");
    EXPECT_EQ(ValueOf(pairs, "TCON"), "<none>") << "genre 0 is ignored";
    EXPECT_EQ(ValueOf(pairs, "3PRO"), "<none>");
}

Bytes CartChunk(std::uint32_t size, std::string_view version, std::string_view title, std::uint32_t segue)
{
    Bytes cart(size, 0);
    std::copy(version.begin(), version.end(), cart.begin());
    std::copy(title.begin(), title.end(), cart.begin() + 4);
    const std::string_view usage = "SEGs";
    std::copy(usage.begin(), usage.end(), cart.begin() + 684);
    PutBE32(cart, 688, 0);
    for (int i = 0; i < 4; ++i)
        cart[688 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(segue >> (8 * i));
    return cart;
}

TTagPairs ReadWAV(const Bytes& chunksAfterFormat)
{
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat(2, 44100, 16));
    chunks.insert(chunks.end(), chunksAfterFormat.begin(), chunksAfterFormat.end());
    PutChunk(chunks, "data", Bytes(400, 1));
    const Bytes file = Riff(chunks);
    MemorySource source(file);
    TWAVTags tags;
    tags.Parse(source);
    return tags.Pairs;
}

TEST(TagReaders, WAVChunks)
{
    Bytes cart;
    PutChunk(cart, "cart", CartChunk(1024, "0101", "Cart title", 441000));
    TTagPairs pairs = ReadWAV(cart);
    EXPECT_EQ(ValueOf(pairs, "DISP"), "Cart title");
    EXPECT_EQ(ValueOf(pairs, "IMED"), "10000");

    Bytes small;
    PutChunk(small, "cart", CartChunk(1000, "0101", "Cart title", 441000));
    EXPECT_TRUE(ReadWAV(small).empty()) << "a cart chunk under 1024 bytes is ignored";

    Bytes info = TextBytes("INFO");
    PutChunk(info, "INAM", TextBytes("List title\0"));
    PutChunk(info, "IART", TextBytes("Art\xE9"));
    PutChunk(info, "tcmt", TextBytes("lower-case id"));
    Bytes list;
    PutChunk(list, "LIST", info);
    pairs = ReadWAV(list);
    EXPECT_EQ(ValueOf(pairs, "DISP"), "List title") << "INAM without IALB becomes the title";
    EXPECT_EQ(ValueOf(pairs, "IART"), "\x7F" "Art\xC3\xA9");
    EXPECT_EQ(ValueOf(pairs, "ICMT"), "lower-case id");
}

TEST(TagReaders, VorbisCommentsInOggAndFlac)
{
    // A comment packet that runs over two pages.
    const Bytes packet = Concat({{3}, TextBytes("vorbis"),
        VorbisCommentList({"title=Lower name", " Artist=Someone  ", "COMMENT=" + std::string(600, 'c'), "no equals"}), {1}});
    const Bytes file = Concat({OggPage(0, VorbisIdPacket(44100), 2), OggPage(0, Bytes(packet.begin(), packet.begin() + 255 * 2), 0, true),
        OggPage(0, Bytes(packet.begin() + 255 * 2, packet.end()), 1), OggPage(441000, Bytes(100, 0), 4)});
    MemorySource source(file);
    TOggTags ogg;
    ogg.Parse(source);
    EXPECT_EQ(ogg.Names, (std::vector<std::string>{"TITLE", "ARTIST", "COMMENT"}));
    EXPECT_EQ(ogg.Values, (std::vector<std::string>{"Lower name", "Someone", std::string(600, 'c')}));

    const Bytes flac = Concat({TextBytes("fLaC"), FlacStreamInfo(44100, 441000, false),
        FlacBlock(1, Bytes(10, 0), false), FlacBlock(4, VorbisCommentList({"Intro= 12000 ", "album=\xC3\xA9t\xC3\xA9"}), true)});
    MemorySource flacSource(flac);
    TFLAC reader(true);
    reader.Parse(flacSource);
    EXPECT_EQ(reader.Duration, 10000);
    EXPECT_EQ(reader.Names, (std::vector<std::string>{"INTRO", "ALBUM"}));
    EXPECT_EQ(reader.Values, (std::vector<std::string>{"12000", "\x7F\xC3\xA9t\xC3\xA9"}));
}

Bytes Mp4Item(std::string_view type, const Bytes& data)
{
    Bytes body{0, 0, 0, 1, 0, 0, 0, 0};
    body.insert(body.end(), data.begin(), data.end());
    return Box(type, Box("data", body));
}

TEST(TagReaders, MP4Items)
{
    const Bytes ilst = Concat({
        Mp4Item("\xA9nam", TextBytes("Name")),
        Mp4Item("trkn", Bytes{0, 0, 0, 3, 0, 12, 0, 0}),
        Mp4Item("tmpo", Bytes{0, 120}),
        Mp4Item("gnre", Bytes{0, 18}),
        Box("----", Concat({Box("mean", TextBytes("\0\0\0\0com.apple.iTunes"sv)), Box("name", TextBytes("\0\0\0\0replaygain_track_gain"sv)),
            Box("data", TextBytes("\0\0\0\1\0\0\0\0-6.50 dB"sv))})),
        Box("----", Concat({Box("name", TextBytes("\0\0\0\0other"sv)), Box("data", TextBytes("\0\0\0\1\0\0\0\0x"sv))})),
        Mp4Item("\xA9" "ART", TextBytes("Caf\xC3\xA9")),
    });
    const Bytes meta = Box("meta", Concat({Bytes(4, 0), Box("hdlr", Bytes(25, 0)), Box("ilst", ilst)}));
    const Bytes file = Concat({Ftyp(), Box("moov", Concat({Mvhd(600, 6000), Box("udta", meta)}))});
    MemorySource source(file);
    TMP4Tags tags;
    tags.Parse(source);
    EXPECT_EQ(tags.Names, (std::vector<std::string>{"nam", "trkn", "tmpo", "gnre", "rgtg", "art"}));
    EXPECT_EQ(tags.Values, (std::vector<std::string>{"Name", "3/12", "120", "18", "-6.50 dB", "\x7F" "Caf\xC3\xA9"}));

    Bytes noTotal = file;
    const auto at = std::search(noTotal.begin(), noTotal.end(), std::begin("trkn"), std::end("trkn") - 1) - noTotal.begin();
    noTotal[static_cast<std::size_t>(at) + 4 + 16 + 5] = 0;
    MemorySource noTotalSource(noTotal);
    tags.Parse(noTotalSource);
    EXPECT_EQ(tags.Values[1], "3");
}

// An ASF header with file and stream properties and the two description objects.
Bytes WmaFile(std::uint16_t channels, std::uint32_t rate, std::uint32_t bytesPerSecond, const Bytes& extended)
{
    const auto object = [](std::initializer_list<std::uint8_t> guid, const Bytes& body) {
        Bytes o(guid);
        PutLE64(o, 24 + body.size());
        o.insert(o.end(), body.begin(), body.end());
        return o;
    };
    Bytes file(76, 0); // the maximum bitrate stands at 100 in the object
    PutLE32(file, 128000);
    Bytes stream(54, 0); // the format block stands at 78 in the object
    PutLE16(stream, 0x161);
    PutLE16(stream, channels);
    PutLE32(stream, rate);
    PutLE32(stream, bytesPerSecond);
    Bytes content;
    const Bytes title = Utf16Le(u"Title \u00E9", false);
    const Bytes author = Utf16Le(u" Author ", false);
    for (const std::size_t n : {title.size(), author.size(), std::size_t{0}, std::size_t{0}, std::size_t{0}})
        PutLE16(content, static_cast<std::uint16_t>(n));
    content.insert(content.end(), title.begin(), title.end());
    content.insert(content.end(), author.begin(), author.end());
    const Bytes objects = Concat({
        object({0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}, file),
        object({0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}, stream),
        object({0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}, content),
        object({0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}, extended),
    });
    Bytes b{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    PutLE64(b, 30 + objects.size());
    PutLE32(b, 4);
    b.push_back(1);
    b.push_back(2);
    b.insert(b.end(), objects.begin(), objects.end());
    return b;
}

// Extended content descriptors: (name, type, value bytes).
Bytes Descriptors(std::initializer_list<std::tuple<std::u16string_view, std::uint16_t, Bytes>> items)
{
    Bytes b;
    PutLE16(b, static_cast<std::uint16_t>(items.size()));
    for (const auto& [name, type, value] : items) {
        const Bytes n = Concat({Utf16Le(name, false), {0, 0}});
        PutLE16(b, static_cast<std::uint16_t>(n.size()));
        b.insert(b.end(), n.begin(), n.end());
        PutLE16(b, type);
        PutLE16(b, static_cast<std::uint16_t>(value.size()));
        b.insert(b.end(), value.begin(), value.end());
    }
    return b;
}

TEST(TagReaders, WMAContentAndAttributes)
{
    Bytes number;
    PutLE32(number, 5);
    const Bytes extended = Descriptors({{u"WM/AlbumTitle", 0, Concat({Utf16Le(u"Album", false), {0, 0}})},
        {u"WM/TrackNumber", 3, number}, {u"wm/beatsperminute", 0, Concat({Utf16Le(u"128", false), {0, 0}})}});
    const Bytes mono = WmaFile(1, 44100, 16000, extended);
    MemorySource source(mono);
    TWMAfile wma;
    wma.Parse(source);
    EXPECT_TRUE(wma.Valid) << "mono, 44100 Hz, 16000 bytes a second";
    EXPECT_EQ(wma.Title, u"Title \u00E9");
    EXPECT_EQ(wma.Author, u"Author");
    EXPECT_EQ(wma.AlbumTitle, u"Album");
    EXPECT_EQ(wma.TrackNumber, 0) << "a number-typed track number is not read";
    EXPECT_EQ(wma.BeatsPerMinute, 128);

    const Bytes withTrack = WmaFile(2, 44100, 16000, Descriptors({{u"WM/Track", 0, Concat({Utf16Le(u"4", false), {0, 0}})}}));
    MemorySource trackSource(withTrack);
    wma.Parse(trackSource);
    EXPECT_EQ(wma.TrackNumber, 5) << "the zero-based WM/Track plus one";

    const Bytes video = WmaFile(6, 44100, 16000, {});
    MemorySource videoSource(video);
    wma.Parse(videoSource);
    EXPECT_FALSE(wma.Valid) << "six channels";
}

class TagImportOfContainers : public ::testing::Test {
protected:
    std::unique_ptr<TAPETags> Imported(const std::string& name, const Bytes& bytes)
    {
        const std::string path = folder.File(name);
        WriteFile(path, bytes);
        auto tags = std::make_unique<TAPETags>(path, 1, TAPETags::ModeRead);
        tags->ImportFormatTags();
        return tags;
    }
    TempFolder folder;
};

TEST_F(TagImportOfContainers, WAVSegueCountsFromTheEndInTheFirstHalf)
{
    // 200 s and 100 s of 8000 Hz 8-bit mono, with a cart segue timer of 60 s.
    for (const auto& [seconds, segue] : {std::pair{200, "140000"}, std::pair{100, "60000"}}) {
        Bytes chunks;
        PutChunk(chunks, "fmt ", PcmFormat(1, 8000, 8));
        PutChunk(chunks, "cart", CartChunk(1024, "0101", "Title", 8000 * 60));
        PutText(chunks, "data");
        PutLE32(chunks, static_cast<std::uint32_t>(8000 * seconds));
        chunks.resize(chunks.size() + 200, 0x80);
        const auto tags = Imported(std::to_string(seconds) + ".wav", Riff(chunks));
        EXPECT_EQ(tags->GetField("Duration"), std::to_string(seconds * 1000));
        EXPECT_EQ(tags->GetField("Segue"), segue);
        EXPECT_EQ(tags->GetField("SegueDB"), "1");
        EXPECT_EQ(tags->GetField("Title"), "Title");
    }
}

TEST_F(TagImportOfContainers, FlacIntroOnlyWhenItIsANumber)
{
    for (const auto& [intro, field] : {std::pair{"abc", ""}, std::pair{"12000", "12000"}}) {
        const Bytes flac = Concat({TextBytes("fLaC"), FlacStreamInfo(44100, 441000, false),
            FlacBlock(4, VorbisCommentList({std::string("INTRO=") + intro, "TEMPO=Medium-Fast", "BPM=120.5"}), true),
            Bytes(200, 0)});
        const auto tags = Imported(std::string(intro) + ".flac", flac);
        EXPECT_EQ(tags->GetField("Intro"), field);
        EXPECT_EQ(tags->GetField("Tempo"), "4");
        EXPECT_EQ(tags->GetField("BPM"), "120");
        EXPECT_EQ(tags->GetField("Duration"), "10000");
    }
}

TEST_F(TagImportOfContainers, MP4GenreNumberIsTheID3GenrePlusOne)
{
    const Bytes ilst = Concat({Mp4Item("gnre", Bytes{0, 18}), Mp4Item("trkn", Bytes{0, 0, 0, 3, 0, 12, 0, 0})});
    const Bytes file = Concat({Ftyp(), Box("moov", Concat({Mvhd(600, 6000),
        Box("udta", Box("meta", Concat({Bytes(4, 0), Box("ilst", ilst)})))})), Bytes(200, 0)});
    const auto tags = Imported("genre.m4a", file);
    EXPECT_EQ(tags->GetField("Genre"), "Rock");
    EXPECT_EQ(tags->GetField("Track"), "3/12");
}

} // namespace
} // namespace zd

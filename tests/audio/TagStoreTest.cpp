#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "TagTestFiles.hpp"
#include "audio/TVRNFileStream.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/Error.hpp"
#include "common/Numbers.hpp"

namespace zd {
namespace {

using namespace testdata;

// 18 DOS date-times, newest first, the last ones empty.
std::string History()
{
    Bytes b;
    for (std::uint32_t i = 0; i < 18; ++i)
        PutLE32(b, i < 15 ? 0x5B8A6000u - i * 0x10000u : 0x00210000u);
    return AsText(b);
}

std::string Restrictions()
{
    Bytes b;
    PutLE32(b, 45000);
    PutLE32(b, 46000);
    b.push_back(0);
    PutLE32(b, 0);
    PutLE32(b, 86399);
    for (int day = 0; day < 7; ++day) {
        b.push_back(1);
        PutLE32(b, 0x00FFFFFF);
    }
    return AsText(b);
}

const std::vector<std::pair<std::string, std::string>>& StationFields()
{
    static const std::vector<std::pair<std::string, std::string>> fields = {
        {"Duration", "215000"}, {"Intro", "12000"}, {"Segue", "208000"}, {"SegueDB", "1"}, {"Cue", "150"},
        {"Outro", "209000"}, {"HookStart", "61000"}, {"HookLen", "9500"}, {"FadeSpeed", "5000"}, {"Tempo", "3"},
        {"BPM", "124"}, {"Year", "1987"}, {"RecordDate", "45000"}, {"Rating", "5"}, {"Client", "Acme"},
        {"Category", "Gold"}, {"Mood", "Happy"}, {"Language", "en"}, {"Other", "x"}, {"Title", "A Song"},
        {"Artist", "\x7F" "Bj\xC3\xB6rk"}, {"Album", "Caf\xE9 Nights"}, {"Album Artist", "Various"},
        {"Composer", "C"}, {"Conductor", "D"}, {"Genre", "Pop"}, {"Publisher", "P"}, {"Track", "7"},
        {"ISRC", "USRC17607839"}, {"EAN/UPC", "0123456789012"}, {"URL", "http://a.example/"}, {"URL2", "u2"},
        {"Comment", "line one\nline two"}, {"MP3PRO", "1"}, {"REPLAYGAIN_TRACK_GAIN", "-6.02 dB"},
        {"XLastScheduled", History()}, {"XLastPlayed", History()}, {"XRestrictions", Restrictions()},
    };
    return fields;
}

// How the store gives a value back: ANSI text with high bytes comes back as
// marked UTF-8 of the same characters.
std::string AsRead(const std::string& value)
{
    return value == "Caf\xE9 Nights" ? "\x7F" "Caf\xC3\xA9 Nights" : value;
}

TEST(TagStore, WritesAndReadsBackEveryStationField)
{
    for (const char* name : {"song.mp3", "voice.wav"}) {
        SCOPED_TRACE(name);
        TempFolder folder;
        const std::string path = folder.File(name);
        const Bytes audio = std::string_view(name).ends_with(".mp3") ? SmallMp3() : TinyWav(400);
        WriteFile(path, audio);
        {
            TAPETags tags(path, 3, TAPETags::ModeReadWrite);
            ASSERT_TRUE(tags.Opened());
            ASSERT_FALSE(tags.ReadOnly());
            for (const auto& [field, value] : StationFields())
                tags.SetField(field, value);
            tags.WriteTags();
            EXPECT_FALSE(tags.Error());
            EXPECT_FALSE(tags.Modified());
        }
        const Bytes written = ReadFile(path);
        ASSERT_GT(written.size(), audio.size());
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), written.begin())) << "audio bytes changed";

        TAPETags read(path, 3, TAPETags::ModeReadShared);
        ASSERT_TRUE(read.HasAPETag());
        EXPECT_FALSE(read.Error());
        EXPECT_EQ(read.Count(), static_cast<int>(StationFields().size()));
        for (const auto& [field, value] : StationFields())
            EXPECT_EQ(read.GetField(field), AsRead(value)) << field;
        EXPECT_EQ(read.GetField("xlastscheduled").size(), 72u);
        EXPECT_EQ(read.GetField("XRestrictions").size(), 52u);
        EXPECT_EQ(read.IndexOf("intro"), 1);
    }
}

TEST(TagStore, PutsTheTagBetweenAudioAndID3v1AndMirrorsFields)
{
    TempFolder folder;
    const std::string path = folder.File("old.mp3");
    const Bytes audio = SmallMp3();
    WriteFile(path, Join({audio, Id3v1Tag("Old Title", 17)}));
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        ASSERT_TRUE(tags.HasID3v1());
        EXPECT_FALSE(tags.HasAPETag());
        tags.SetField("Intro", "4000");
        tags.SetField("Artist", "New Artist");
        tags.SetField("Album", "An Album");
        tags.SetField("Year", "1999");
        tags.SetField("Comment", "Hi");
        tags.SetField("Track", "12");
        tags.WriteTags();
        EXPECT_FALSE(tags.Error());
    }
    const Bytes file = ReadFile(path);
    ASSERT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
    const std::size_t id3 = file.size() - 128;
    EXPECT_EQ(AsText(Bytes(file.begin() + static_cast<long>(id3) - 32, file.begin() + static_cast<long>(id3) - 24)),
        "APETAGEX");
    const std::string tail = AsText(Bytes(file.begin() + static_cast<long>(id3), file.end()));
    EXPECT_EQ(tail.substr(0, 3), "TAG");
    EXPECT_EQ(tail.substr(3, 9), "Old Title") << "fields not set are kept";
    EXPECT_EQ(tail.substr(33, 10), std::string("New Artist"));
    EXPECT_EQ(tail.substr(63, 8), "An Album");
    EXPECT_EQ(tail.substr(93, 4), "1999");
    EXPECT_EQ(tail.substr(97, 3), std::string("Hi\0", 3));
    EXPECT_EQ(tail[125], '\0');
    EXPECT_EQ(static_cast<unsigned char>(tail[126]), 12);
    EXPECT_EQ(static_cast<unsigned char>(tail[127]), 17) << "genre kept";

    TAPETags read(path, 3, TAPETags::ModeRead);
    EXPECT_TRUE(read.HasID3v1());
    EXPECT_EQ(read.GetField("Intro"), "4000");
    EXPECT_EQ(read.GetField("Track"), "12");
}

TEST(TagStore, RewritingASmallerTagKeepsTheFileSize)
{
    for (const bool withId3v1 : {false, true}) {
        SCOPED_TRACE(withId3v1);
        TempFolder folder;
        const std::string path = folder.File("a.mp3");
        const Bytes audio = SmallMp3();
        WriteFile(path, withId3v1 ? Join({audio, Id3v1Tag("T", 1)}) : audio);
        {
            TAPETags tags(path, 3, TAPETags::ModeReadWrite);
            tags.SetField("Comment", std::string(500, 'c'));
            tags.SetField("Intro", "100");
            tags.WriteTags();
        }
        const auto bigSize = ReadFile(path).size();
        {
            TAPETags tags(path, 3, TAPETags::ModeReadWrite);
            tags.SetField("Comment", "short");
            tags.SetField("Client", "");
            tags.WriteTags();
        }
        const Bytes file = ReadFile(path);
        EXPECT_EQ(file.size(), bigSize);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
        TAPETags read(path, 3, TAPETags::ModeRead);
        EXPECT_FALSE(read.Error());
        EXPECT_EQ(read.GetField("Comment"), "short");
        EXPECT_EQ(read.GetField("Intro"), "100");
        EXPECT_EQ(read.Count(), 2);
    }
}

TEST(TagStore, EmptyTitleAndArtistAreWrittenOtherEmptyFieldsDropped)
{
    TempFolder folder;
    const std::string path = folder.File("a.mp3");
    WriteFile(path, SmallMp3());
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        tags.SetField("Title", "");
        tags.SetField("artist", "");
        tags.SetField("Album", "");
        tags.SetField("Mood", "Calm");
        tags.SetField("Mood", "");
        tags.WriteTags();
    }
    TAPETags read(path, 3, TAPETags::ModeRead);
    EXPECT_EQ(read.Count(), 2);
    EXPECT_EQ(read.IndexOf("title"), 0);
    EXPECT_EQ(read.IndexOf("Artist"), 1);
    EXPECT_EQ(read.IndexOf("Mood"), -1);
}

TEST(TagStore, RefusesNamesThatCannotBeKeys)
{
    TempFolder folder;
    const std::string path = folder.File("a.mp3");
    WriteFile(path, SmallMp3());
    TAPETags tags(path, 3, TAPETags::ModeReadWrite);
    try {
        tags.SetField("A", "1");
        FAIL() << "a 1-character name was accepted";
    } catch (const zd::Error& e) {
        EXPECT_STREQ(e.what(), "Tag Name must be 2 or more characters in length");
        EXPECT_EQ(e.ClassName(), "Exception");
    }
    EXPECT_THROW(tags.SetField(std::string("Ab\0cd", 5), "1"), zd::Error);
    EXPECT_THROW(tags.SetField("Caf\xE9", "1"), zd::Error);
    EXPECT_NO_THROW(tags.SetField("A", "")) << "an empty value is dropped first";
    EXPECT_EQ(tags.Count(), 0);
}

// Damaged and oversized tags are read as far as they go and never rewritten.
TEST(TagStore, DamagedTagsKeepTheFieldsBeforeTheDamageAndAreNotRewritten)
{
    std::vector<TTags> many;
    for (int i = 0; i < 200; ++i)
        many.push_back(TTags{"Field" + std::to_string(i), std::to_string(i)});
    const Bytes manyTag = ApeTag(many);

    std::vector<TTags> five;
    for (const char* name : {"Intro", "Segue", "Cue", "Title", "Artist"})
        five.push_back(TTags{name, std::string(name) + "-value"});
    Bytes damaged = ApeTag(five);
    // The third item claims a value larger than the area.
    const std::size_t third = 2 * (8 + 6 + 11);
    damaged[third + 3] = 0x40;
    Bytes oversized = ApeTag(five);
    oversized[oversized.size() - 32 + 14] = 0x10; // tag size beyond the file
    // A tag size reaching back into silence in front of the tag.
    Bytes intoSilence = ApeTag(five);
    const std::size_t sizeAt = intoSilence.size() - 32 + 12;
    intoSilence[sizeAt + 1] = static_cast<std::uint8_t>(intoSilence[sizeAt + 1] + 4); // 1024 bytes more
    intoSilence = Join({Bytes(2000, 0), intoSilence});
    // A footer with no items over 2048 bytes of silence and no header.
    Bytes emptyOverSilence = ApeTag({});
    emptyOverSilence[emptyOverSilence.size() - 32 + 13] = 0x08; // tag size 32 + 2048
    emptyOverSilence = Join({Bytes(4000, 0), emptyOverSilence});

    const struct {
        const char* what;
        Bytes tag;
        int count;
        bool error;
    } cases[] = {
        {"footer claims 200 items", manyTag, 127, false},
        {"damaged third item", damaged, 2, true},
        {"tag larger than the file", oversized, -1, true},
        {"tag size reaching into silent audio", intoSilence, 0, true},
        {"no items claimed over silent audio", emptyOverSilence, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string path = folder.File("d.mp3");
        const Bytes original = Join({SmallMp3(), c.tag});
        WriteFile(path, original);
        {
            TAPETags tags(path, 3, TAPETags::ModeReadWrite);
            ASSERT_TRUE(tags.Opened());
            EXPECT_TRUE(tags.HasAPETag());
            if (c.count >= 0) {
                EXPECT_EQ(tags.Count(), c.count);
            }
            EXPECT_EQ(tags.Error(), c.error);
            EXPECT_TRUE(tags.ReadOnly());
            if (c.count == 2) {
                EXPECT_EQ(tags.GetField("Intro"), "Intro-value");
                EXPECT_EQ(tags.GetField("Segue"), "Segue-value");
                EXPECT_EQ(tags.GetField("Cue"), "");
            }
            if (c.count == 127) {
                EXPECT_EQ(tags.GetField("Field126"), "126");
            }
            tags.SetField("Intro", "1");
            tags.WriteTags();
            tags.UpdateField("Segue", "2");
        }
        EXPECT_EQ(ReadFile(path), original);
    }
}

TEST(TagStore, UpdatesInPlaceOnlyWhatFits)
{
    TempFolder folder;
    const std::string path = folder.File("u.mp3");
    const Bytes audio = SmallMp3();
    WriteFile(path, audio);
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        tags.SetField("Title", "\x7F" "Caf\xC3\xA9"); // 5 bytes of UTF-8 in the file
        tags.SetField("Segue", "123456");
        tags.SetField("XLastScheduled", History());
        tags.WriteTags();
    }
    const auto size = ReadFile(path).size();
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        tags.UpdateField("Segue", "99");
        EXPECT_FALSE(tags.Modified()) << "written in place";
        tags.UpdateField("Title", "Abcde");
        EXPECT_FALSE(tags.Modified()) << "fits the 5 stored bytes";
    }
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        EXPECT_EQ(tags.GetField("Segue"), "99");
        EXPECT_EQ(tags.GetField("Title"), "Abcde");
        EXPECT_EQ(tags.GetField("XLastScheduled"), History());
        tags.UpdateField("Title", "Abcdef");
        EXPECT_TRUE(tags.Modified()) << "longer than the stored value";
    }
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        std::string history = History();
        history[0] = '\x42';
        tags.UpdateField("XLastScheduled", history);
        EXPECT_TRUE(tags.Modified()) << "binary fields are never written in place";
        tags.WriteTags();
    }
    const Bytes file = ReadFile(path);
    EXPECT_EQ(file.size(), size);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
    TAPETags read(path, 3, TAPETags::ModeRead);
    EXPECT_EQ(read.GetField("XLastScheduled")[0], '\x42');
    EXPECT_EQ(read.GetField("Title"), "Abcde");
}

TEST(TagStore, WritesKeepTheFileTimes)
{
    TempFolder folder;
    const std::string path = folder.File("t.mp3");
    WriteFile(path, SmallMp3());
    struct timespec old[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    const long long before = WriteTimeNs(path);
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        tags.SetField("Intro", "1");
        tags.WriteTags();
    }
    EXPECT_EQ(WriteTimeNs(path), before);
    {
        TAPETags tags(path, 3, TAPETags::ModeReadWrite);
        tags.UpdateField("Intro", "2");
    }
    EXPECT_EQ(WriteTimeNs(path), before);
}

TEST(TagStore, WritesNothingWhereItMayNot)
{
    TempFolder folder;
    const Bytes body = SmallMp3();
    WriteFile(folder.File("list.m3u"), body);
    WriteFile(folder.File("tool.EXE"), body);
    WriteFile(folder.File("small.mp3"), Bytes(159, 1));
    WriteFile(folder.File("locked.mp3"), body);
    for (const char* name : {"list.m3u", "tool.EXE", "small.mp3", "missing.mp3"}) {
        SCOPED_TRACE(name);
        TAPETags tags(folder.File(name), 1, TAPETags::ModeReadWrite);
        tags.SetField("Intro", "1");
        tags.WriteTags();
    }
    EXPECT_EQ(ReadFile(folder.File("list.m3u")), body);
    EXPECT_EQ(ReadFile(folder.File("tool.EXE")), body);
    EXPECT_EQ(ReadFile(folder.File("small.mp3")).size(), 159u);
    EXPECT_FALSE(std::filesystem::exists(folder.File("missing.mp3")));
    {
        // Another handle denies writers: the store falls back to reading.
        TVRNFileStream holder(folder.File("locked.mp3"), kOpenRead | kShareDenyWrite);
        TAPETags tags(folder.File("locked.mp3"), 1, TAPETags::ModeReadWrite);
        EXPECT_TRUE(tags.Opened());
        EXPECT_TRUE(tags.ReadOnly());
        tags.SetField("Intro", "1");
        tags.WriteTags();
    }
    EXPECT_EQ(ReadFile(folder.File("locked.mp3")), body);
    TAPETags small(folder.File("small.mp3"), 1, TAPETags::ModeRead);
    EXPECT_FALSE(small.Opened());
}

// Each structural byte of a tag changed in turn (item headers, keys, the
// footer, the ID3v1 mark): whatever the store makes of it, a write never
// reaches the audio in front of the tag and never shrinks the file.
TEST(TagStore, PatchedTagBytesNeverReachTheAudio)
{
    TempFolder folder;
    const std::string path = folder.File("p.mp3");
    const Bytes audio = SmallMp3();
    std::vector<TTags> fields = {{"Intro", "1000"}, {"XLastScheduled", History()}, {"Title", "Name"}};
    const Bytes tag = ApeTag(fields);
    std::uint32_t count = 0;
    BuildAPEItemArea(fields, count); // sets each field's ValuePos
    std::vector<std::size_t> positions;
    for (const TTags& field : fields)
        for (std::size_t i = field.ValuePos - field.Name.size() - 9; i <= static_cast<std::size_t>(field.ValuePos); ++i)
            positions.push_back(audio.size() + i);
    for (std::size_t i = tag.size() - 32; i <= tag.size(); ++i)
        positions.push_back(audio.size() + i); // the footer and the "T" of "TAG"
    const Bytes original = Join({audio, tag, Id3v1Tag("V1", 2)});
    for (const std::size_t at : positions) {
        Bytes patched = original;
        patched[at] ^= 0xA5;
        WriteFile(path, patched);
        {
            TAPETags tags(path, 1, TAPETags::ModeReadWrite);
            tags.SetField("Segue", "2000");
            tags.UpdateField("Intro", "7");
            tags.WriteTags();
        }
        const Bytes file = ReadFile(path);
        ASSERT_GE(file.size(), patched.size()) << at;
        ASSERT_TRUE(std::equal(audio.begin(), audio.end(), file.begin())) << "audio changed, byte " << at;
    }
}

TEST(TagStore, ConcurrentWritersOfOneFileLoseNoUpdate)
{
    TempFolder folder;
    const std::string path = folder.File("shared.mp3");
    const Bytes audio = SmallMp3();
    WriteFile(path, audio);
    const auto count = [&](int times) {
        for (int i = 0; i < times; ++i) {
            TAPETags tags(path, 1, TAPETags::ModeReadWrite);
            tags.SetFieldInt("Counter", TextToIntDef0(tags.GetField("Counter")) + 1);
            tags.SetField("Pad", std::string(static_cast<std::size_t>(i % 7) * 10, 'p')); // tags of changing size
            tags.WriteTags();
        }
    };
    std::thread first(count, 40);
    std::thread second(count, 40);
    first.join();
    second.join();
    TAPETags read(path, 1, TAPETags::ModeRead);
    EXPECT_FALSE(read.Error());
    EXPECT_EQ(read.GetField("Counter"), "80");
    const Bytes file = ReadFile(path);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
}

// Two names of one file (a linked folder, as two drive letters of one drive
// map can give): the second writer still waits for the first, so neither
// write is lost.
TEST(TagStore, WritersThroughTwoNamesOfOneFileTakeTurns)
{
    TempFolder folder;
    const std::string path = folder.File("shared.mp3");
    WriteFile(path, SmallMp3());
    const std::string linked = folder.File("link");
    std::filesystem::create_directory_symlink(folder.File(""), linked);
    std::optional<TAPETags> first(std::in_place, path, 1, TAPETags::ModeReadWrite);
    std::thread second([&] {
        TAPETags tags(linked + "/shared.mp3", 1, TAPETags::ModeReadWrite);
        tags.SetField("Segue", "2000");
        tags.WriteTags();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // room for a second writer that does not wait
    first->SetField("Intro", "1000");
    first->WriteTags();
    first.reset();
    second.join();
    TAPETags read(path, 1, TAPETags::ModeRead);
    EXPECT_EQ(read.GetField("Intro"), "1000");
    EXPECT_EQ(read.GetField("Segue"), "2000");
}

} // namespace
} // namespace zd

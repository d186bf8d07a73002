#include "scheduler/LibraryBuilder.hpp"
#include "scheduler/LibraryDatabase.hpp"
#include "scheduler/LibrarySearch.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include "audio/FileDuration.hpp"
#include "audio/TVRNFileStream.hpp"
#include "audio/TagTestFiles.hpp"
#include "audio/TempInstallation.hpp"
#include "common/DosTime.hpp"
#include "common/MarkedText.hpp"
#include "common/SongRestriction.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

namespace fs = std::filesystem;
using testing::TempInstallation;

const std::uint32_t kPlay = static_cast<std::uint32_t>(PackDosDateTime(2026, 6, 10, 12, 0, 0));

std::string Slots(std::initializer_list<std::uint32_t> values)
{
    std::string bytes;
    for (std::size_t slot = 0; slot < 18; ++slot) {
        const std::uint32_t value = slot < values.size() ? values.begin()[slot] : kEmptyHistorySlot;
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return bytes;
}

LibraryRecord Song(const std::string& title, const std::string& file = "C:\\Music\\a.mp3")
{
    LibraryRecord record;
    record.FileName = file;
    record.Title = title;
    return record;
}

std::vector<LibraryRecord> ReadAll(const fs::path& path, std::uint8_t* version = nullptr)
{
    TVRNFileStream stream(path.string(), kOpenRead | kShareDenyNone);
    LibraryReader reader(stream);
    if (version)
        *version = reader.Version();
    std::vector<LibraryRecord> records;
    while (const auto view = reader.Next())
        records.push_back(view->ToRecord());
    return records;
}

void Write(const fs::path& path, std::initializer_list<LibraryRecord> records)
{
    LibraryWriter writer(path.string());
    for (const auto& record : records)
        EXPECT_TRUE(writer.Add(record));
    writer.Commit();
}

TEST(LibraryDatabase, WhatTheBuilderWritesTheReaderReadsBackFieldForField)
{
    TempInstallation installation;
    installation.Put("Cadmora/Data/Categories.dat", "Rock,1,0\r\n\"Rock, Pop\",7,0");
    TSongRestriction restriction;
    restriction.StartDate = 100001201;
    restriction.EndDate = 100000131;
    restriction.Days[6].HourMask = 0x00F0F0F0;
    const auto restrictionBytes = restriction.ToBytes();
    const std::string history = Slots({kPlay, kPlay - 0x10000});
    const fs::path tagged = installation.OnDriveC("Cadmora/Music/Rock/tagged.mp3");
    const fs::path untagged = installation.OnDriveC("Cadmora/Music/Rock/Band - Song.mp3");
    fs::create_directories(tagged.parent_path());
    testdata::WriteTaggedMp3(tagged.string(), 40, 0,
        {{"Artist", "\x7FZoë"}, {"Title", "\x7F" "Dvořák"}, {"Album", "Album"}, {"Genre", "Genre"},
         {"Mood", std::string(300, 'm')}, {"Year", "1999"}, {"Rating", "4"}, {"Tempo", "3"}, {"Energy", "5"},
         {"Era", "7"}, {"FadeSpeed", "4500"}, {"Category", "oldies"},
         {"XRestrictions", std::string(restrictionBytes.begin(), restrictionBytes.end())},
         {"XLastScheduled", history}});
    testdata::WriteTaggedMp3(untagged.string(), 20, 0, {});
    installation.Put("Cadmora/Music/Rock/cover.jpg", std::string(400, 'x'));

    const auto summary = BuildLibrary({installation.OnDriveC("Cadmora/Data").string(), "",
                                       {installation.OnDriveC("Cadmora/Music/Rock").string()}});
    EXPECT_EQ(summary.Files, 2u);
    EXPECT_EQ(summary.Categories, (std::map<std::string, std::size_t>{{"Rock", 1}, {"oldies", 1}}));
    EXPECT_EQ(summary.AddedCategories, std::vector<std::string>{"oldies"});
    ASSERT_EQ(summary.Skipped.size(), 1u);
    EXPECT_TRUE(summary.Skipped[0].first.ends_with("cover.jpg"));

    std::uint8_t version = 0;
    const auto oldies = ReadAll(installation.OnDriveC("Cadmora/Data/oldies.dat"), &version);
    EXPECT_EQ(version, kLibraryVersion);
    LibraryRecord expected;
    expected.FileName = "C:\\Cadmora\\Music\\Rock\\tagged.mp3";
    expected.Artist = "Zo\xEB";                         // the code page holds it
    expected.Title = "\x7F" "Dvořák";                   // it does not
    expected.Album = "Album";
    expected.Genre = "Genre";
    expected.Mood = std::string(255, 'm');
    expected.Year = 1999;
    expected.DurationMs = static_cast<std::uint32_t>(GetFileDuration(tagged.string()));
    expected.BitRate = static_cast<std::uint8_t>(fs::file_size(tagged) * 8 / expected.DurationMs);
    expected.Rating = 4;
    expected.Tempo = 3;
    expected.Energy = 5;
    expected.Era = 7;
    expected.TransitionMs = 4500;
    expected.Restriction = restrictionBytes;
    std::copy(history.begin(), history.end(), expected.LastScheduled.begin());
    ASSERT_EQ(oldies.size(), 1u);
    EXPECT_GT(expected.DurationMs, 0u);
    EXPECT_EQ(oldies[0], expected);

    const auto rock = ReadAll(installation.OnDriveC("Cadmora/Data/Rock.dat"));
    ASSERT_EQ(rock.size(), 1u);
    EXPECT_EQ(rock[0].Artist, "Band");
    EXPECT_EQ(rock[0].Title, "Song");
    EXPECT_EQ(rock[0].Restriction, FreshRestrictionBytes());
    EXPECT_EQ(rock[0].LastScheduled, EmptyLastScheduled());
    EXPECT_EQ(TempInstallation::Read(installation.OnDriveC("Cadmora/Data/Categories.dat")),
              "Rock,1,0\r\n\"Rock, Pop\",7,0\r\noldies,8,0\r\n");
}

TEST(LibraryDatabase, ReaderKeepsTheRecordsBeforeOneItCannotTake)
{
    const std::string first = *EncodeLibraryRecord(Song("first"));
    const std::string second = *EncodeLibraryRecord(Song("second"));
    auto withLength = [](std::string record, std::size_t length) {
        record[0] = static_cast<char>(length & 0xFF);
        record[1] = static_cast<char>(length >> 8);
        return record;
    };
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"two records", first + second, {"first", "second"}},
        {"extra bytes are skipped", withLength(first + "xyz", first.size() + 1) + second, {"first", "second"}},
        {"over-long record", first + withLength(second, 2048) + std::string(2048, 'x') + second, {"first"}},
        {"record shorter than its fields", first + withLength(second, second.size() - 3).substr(0, second.size() - 1) + second,
         {"first"}},
        {"cut in the middle", first + second.substr(0, 40), {"first"}},
    };
    testsupport::TempFolder folder;
    for (const Case& c : cases) {
        const std::string path = folder.File("db.dat");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << '\x14' << c.bytes;
        std::vector<std::string> titles;
        for (const auto& record : ReadAll(path))
            titles.push_back(record.Title);
        EXPECT_EQ(titles, c.titles) << c.what;
    }
    EXPECT_FALSE(EncodeLibraryRecord(Song("x", std::string(2000, 'f'))));
    EXPECT_FALSE(EncodeLibraryRecord(Song(std::string(256, 't'))));
}

class LibrarySearchScan : public ::testing::Test {
protected:
    fs::path Data(const std::string& name) const { return installation.OnDriveC("Cadmora/Data/" + name); }

    SearchResult Search(const std::string& request, std::int32_t separation = 0)
    {
        SearchEnvironment environment;
        environment.DataFolder = "C:\\Cadmora\\Data\\";
        environment.SeparationMinutes = separation;
        environment.Now = 46000;
        environment.Log = [this](const std::string& line) { log.push_back(line); };
        return SearchLibrary(ParseSearchRequest(request), environment);
    }

    static std::vector<std::string> Column(const SearchResult& result, std::size_t column)
    {
        std::vector<std::string> values;
        for (const auto& item : result.Items) {
            const auto columns = SplitCommaList(item);
            values.push_back(columns.size() == 20 ? columns[column] : item);
        }
        return values;
    }

    TempInstallation installation;
    std::vector<std::string> log;

    void SetUp() override { fs::create_directories(Data("")); }
};

TEST_F(LibrarySearchScan, ReferencesAreFollowedOnceAlongEachPathAndNoDeeperThanTheLimit)
{
    Write(Data("A.dat"), {Song("a1"), Song("", "B.dat"), Song("a2"), Song("", "{C}.DAT"), Song("", "Gone.dat")});
    Write(Data("B.dat"), {Song("b1"), Song("", "A.dat"), Song("", "b.dat")});
    Write(Data("{C}.dat"), {Song("c1"), Song("", "A.dat")});
    const SearchResult result = Search("A");
    EXPECT_EQ(Column(result, 2), (std::vector<std::string>{
        "a1", "b1", "a2", "c1", "File not found: C:\\Cadmora\\Data\\Gone.dat"}));
    EXPECT_EQ(Column(result, 18), (std::vector<std::string>{"A", "B", "A", "C", "File not found: C:\\Cadmora\\Data\\Gone.dat"}));
    EXPECT_EQ(Column(result, 19), (std::vector<std::string>{"0", "0", "2", "0", "File not found: C:\\Cadmora\\Data\\Gone.dat"}));
    EXPECT_EQ(Column(Search("A,0,0,NS=1"), 2), (std::vector<std::string>{"a1", "a2"}));

    for (int level = 0; level < 12; ++level)
        Write(Data("L" + std::to_string(level) + ".dat"),
              {Song("l" + std::to_string(level)), Song("", "L" + std::to_string(level + 1) + ".dat")});
    EXPECT_EQ(Search("L0").Items.size(), static_cast<std::size_t>(kMaxReferenceDepth + 1));
}

TEST_F(LibrarySearchScan, DatabaseErrorsBecomeEntriesAndLogLines)
{
    std::ofstream(Data("Old.dat"), std::ios::binary) << '\x13' << EncodeLibraryRecord(Song("x")).value();
    EXPECT_EQ(Search("Old").Items, std::vector<std::string>{"Incompatible version of Cadmora (19)"});
    EXPECT_EQ(Search("Nope").Items, (std::vector<std::string>{"File not found", "C:\\Cadmora\\Data\\Nope.dat"}));
    EXPECT_EQ(log, (std::vector<std::string>{"**** Search: Incompatible version of Cadmora (19)",
                                             "**** Search: File not found: C:\\Cadmora\\Data\\Nope.dat"}));
    const std::string text = "\"File not found\",C:\\Cadmora\\Data\\Nope.dat";
    EXPECT_EQ(SearchReply(Search("Nope")), std::to_string(text.size()) + "\r\n" + text);
    for (const char* name : {"..\\Data\\Old", "a/b", "C:Old", "", "zodavizi"})
        EXPECT_TRUE(Search(std::string("\"") + name + "\"").Refused) << name;
    EXPECT_EQ(SearchReply(Search("zodavizi")), "0\r\n");
}

TEST_F(LibrarySearchScan, TextKeysMatchAsContainsTextDoes)
{
    const std::vector<std::string> artists{"Zo\xEB M\xE1rquez", "\x7FZoë Márquez", "\x7F" "Dvořák", "ABBA",
                                           "\x7F" "abba", "\xC9t\xE9", "\x7F\xC3\xA9t\xC3\xA9", ""};
    const std::vector<std::string> parts{"márquez", "M\xC1RQUEZ", "\x7F" "DVOŘ", "bb", "\x7F" "ABBA", "\xE9t\xE9",
                                         "\x7F\xC3\x89T", "zz", "r"};
    LibraryWriter writer(Data("Texts.dat").string());
    for (const auto& artist : artists) {
        LibraryRecord record = Song("t");
        record.Artist = artist;
        writer.Add(record);
    }
    writer.Commit();
    for (const auto& part : parts) {
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < artists.size(); ++i)
            if (ContainsText(artists[i], RequestText(part)))
                expected.push_back(std::to_string(i));
        EXPECT_EQ(Column(Search("Texts,0,0,\"A=" + part + "\""), 19), expected) << part;
    }
}

TEST_F(LibrarySearchScan, SeparationWindowAroundThePlayTime)
{
    auto at = [](unsigned hour, unsigned minute) {
        return static_cast<std::uint32_t>(PackDosDateTime(2026, 6, 10, hour, minute, 0));
    };
    struct Case {
        const char* what;
        std::string history;
        std::int32_t window;
        bool braced;
        const char* passes;
    };
    const Case cases[] = {
        {"no history", Slots({}), 60, false, "1"},
        {"30 minutes before", Slots({at(11, 30)}), 60, false, "0"},
        {"window off", Slots({at(11, 30)}), 0, false, "1"},
        {"braced database", Slots({at(11, 30)}), 60, true, "1"},
        {"90 minutes before", Slots({at(10, 30)}), 60, false, "1"},
        {"only later entries", Slots({at(12, 10)}), 60, false, "1"},
        {"earlier far, later near", Slots({at(12, 10), at(10, 30)}), 60, false, "0"},
        {"at the play time", Slots({kPlay}), 60, false, "0"},
    };
    for (const Case& c : cases) {
        LibraryRecord song = Song("s");
        std::copy(c.history.begin(), c.history.end(), song.LastScheduled.begin());
        Write(Data(c.braced ? "{S}.dat" : "S.dat"), {song});
        const auto result = Search(std::string("S,") + (c.braced ? "1," : "0,") + std::to_string(kPlay) + ",SR=2", c.window);
        EXPECT_EQ(Column(result, 16), std::vector<std::string>{c.passes}) << c.what;
    }
}

TEST_F(LibrarySearchScan, AnEndedRestrictionDeletesOnlyAudioFiles)
{
    TSongRestriction ended;
    ended.StartDate = 40000;
    ended.EndDate = 40001;
    ended.DeleteAfterEnd = 1;
    LibraryRecord audio = Song("audio", "C:\\Cadmora\\Music\\old.mp3");
    LibraryRecord notes = Song("notes", "C:\\Cadmora\\Music\\old.txt");
    audio.Restriction = notes.Restriction = ended.ToBytes();
    installation.Put("Cadmora/Music/old.mp3", "mp3");
    installation.Put("Cadmora/Music/old.txt", "txt");
    Write(Data("Ended.dat"), {audio, notes});

    EXPECT_EQ(Column(Search("Ended,0," + std::to_string(kPlay) + ",SR=2"), 15), (std::vector<std::string>{"0", "0"}));
    EXPECT_FALSE(fs::exists(installation.OnDriveC("Cadmora/Music/old.mp3")));
    EXPECT_TRUE(fs::exists(installation.OnDriveC("Cadmora/Music/old.txt")));
    EXPECT_EQ(log, std::vector<std::string>{"Deleted C:\\Cadmora\\Music\\old.mp3: its restriction has ended"});
    EXPECT_TRUE(Search("Ended,0," + std::to_string(kPlay) + ",SR=1").Items.empty());
}

} // namespace
} // namespace zd

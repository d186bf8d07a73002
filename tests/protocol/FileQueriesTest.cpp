#include "audio/TempInstallation.hpp"
#include "audio/NativePath.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "audio/TagTestFiles.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/DosTime.hpp"
#include "protocol/FileQueries.hpp"

namespace zd {
namespace {

using Slots = std::vector<std::uint32_t>;

std::string History(const Slots& slots)
{
    std::string bytes;
    for (std::size_t i = 0; i < 18; ++i) {
        const std::uint32_t v = i < slots.size() ? slots[i] : 0x00210000u;
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<char>(v >> (8 * b)));
    }
    return bytes;
}

Slots Full(std::uint32_t newest)
{
    Slots s;
    for (std::uint32_t i = 0; i < 18; ++i)
        s.push_back(newest - i * 0x10000u); // one day apart
    return s;
}

TEST(ScheduledHistory, AddsAndRemovesSlots)
{
    const std::uint32_t day = 0x10000;
    const std::uint32_t t = 0x5B8A6000; // a packed date-time
    const struct {
        const char* what;
        Slots before;
        const char* mode;
        std::uint32_t time;
        Slots after;
        bool changed;
    } cases[] = {
        {"add to an empty history", {}, "1", t, {t}, true},
        {"add newest first", {t - day}, "1", t, {t, t - day}, true},
        {"add between", {t, t - 2 * day}, "1", t - day, {t, t - day, t - 2 * day}, true},
        {"add pushes the oldest out", Full(t), "1", t + day,
            [&] { Slots s = Full(t + day); return s; }(), true},
        {"add older than a full history", Full(t), "1", t - 30 * day, Full(t), false},
        {"add an equal time: it goes behind the one there", {t}, "1", t, {t, t}, true},
        {"remove the nearest", {t, t - day, t - 2 * day}, "2", t - day + 100, {t, t - 2 * day}, true},
        {"remove on a tie keeps the older", {t + 10, t - 10}, "2", t, {t - 10}, true},
        {"remove nothing within an hour", {t, t - day}, "2", t + 2048, {t, t - day}, false},
        {"remove from a time before", {t}, "2", t - 2047, {}, true},
        {"unknown mode", {t}, "3", t + day, {t}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string history = History(c.before);
        EXPECT_EQ(ChangeScheduledHistory(history, c.mode, c.time), c.changed);
        EXPECT_EQ(history, History(c.after));
    }
    std::string shortHistory(71, '\0');
    EXPECT_FALSE(ChangeScheduledHistory(shortHistory, "1", t));
    EXPECT_EQ(shortHistory, std::string(71, '\0'));
}

TEST(TaggableFiles, OnlyAudioTypes)
{
    for (const char* name : {"a.mp3", "C:\\x\\B.WAV", "c.flac", "d.aiff", "e.m4a", "f.wma", "g.ogg"})
        EXPECT_TRUE(IsTaggableAudioFile(name)) << name;
    for (const char* name : {"a.m3u", "b.pls", "c.exe", "d.dat", "e.plg", "f", "g.txt", "mp3", "C:\\a.mp3\\b"})
        EXPECT_FALSE(IsTaggableAudioFile(name)) << name;
}

// Small MP3 files whose write times are some days back.
class FileCheck : public ::testing::Test {
protected:
    // The Windows-form name of a new MP3 on drive C.
    std::string Make(const std::string& name, int daysOld, std::initializer_list<std::pair<std::string, std::string>> fields)
    {
        std::filesystem::create_directories(installation.OnDriveC("Audio"));
        testdata::WriteTaggedMp3(installation.OnDriveC("Audio/" + name).string(), 4, daysOld, fields);
        return "C:\\Audio\\" + name;
    }

    zd::testing::TempInstallation installation;
};

TEST_F(FileCheck, MarkerLinesByAge)
{
    const std::string fresh = Make("fresh.mp3", 3, {{"Duration", "215000"}, {"Cue", "150"}, {"Segue", "208000"}, {"Intro", "12000"}});
    const std::string noIntro = Make("no intro.mp3", 3, {{"Duration", "1000"}, {"Segue", "900"}});
    const std::string untagged = Make("untagged.mp3", 1, {});
    const std::string old = Make("old.mp3", 30, {{"Duration", "5"}});
    const std::string missing = "C:\\Audio\\missing.mp3";
    const std::int64_t now = NowUtcDosDateTime();

    const std::string list = fresh + ",\"" + noIntro + "\"," + untagged + "," + old + "," + missing + ",";
    EXPECT_EQ(FileCheckReply(list, now),
        "215000,150,208000,12000\r\n"
        "1000,,900,-1\r\n"
        "106,,,-1\r\n" // 4 frames and a 32-byte tag at 128 kbit/s, from the file itself
        "\r\n"
        "0,0,0,0\r\n");
    EXPECT_EQ(FileCheckReply(fresh + "," + missing, now), "215000,150,208000,12000\r\n") << "the last item is not a name";
    EXPECT_EQ(FileCheckReply(fresh, now), "");
    EXPECT_EQ(FileCheckReply("", now), "");
}

TEST_F(FileCheck, OnlyWindowsNamesOnMappedDrivesNameAFile)
{
    const std::string fresh = Make("fresh.mp3", 3, {{"Duration", "215000"}});
    const std::string native = installation.OnDriveC("Audio/fresh.mp3").string();
    const std::int64_t now = NowUtcDosDateTime();
    for (const std::string& name : {native, std::string("Audio\\fresh.mp3"), std::string("..\\Audio\\fresh.mp3"),
                                    std::string("C:Audio\\fresh.mp3"), std::string("D:\\Audio\\fresh.mp3"),
                                    std::string("\\\\server\\c$\\Audio\\fresh.mp3"), std::string("/etc/passwd")}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsClientFileName(name));
        EXPECT_EQ(FileCheckReply(name + ",", now), "0,0,0,0\r\n");
    }
    for (const std::string& name : {fresh, std::string("c:/Audio/FRESH.mp3"), std::string("C:\\..\\..\\Audio\\fresh.mp3")}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsClientFileName(name));
        EXPECT_EQ(FileCheckReply(name + ",", now), "215000,,,-1\r\n");
    }
}

} // namespace
} // namespace zd

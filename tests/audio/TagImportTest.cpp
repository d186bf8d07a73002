#include <gtest/gtest.h>

#include "TagTestFiles.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/DateTime.hpp"

namespace zd {
namespace {

using namespace testdata;

// A store on a small MP3 of a fresh folder.
class TagImport : public testing::Test {
protected:
    TagImport() { WriteFile(path, SmallMp3()); }
    TempFolder folder;
    std::string path = folder.File("i.mp3");
    TAPETags tags{path, 1, TAPETags::ModeReadWrite};
};

TEST_F(TagImport, YearsBelow100AreWidened)
{
    const int now = DecodeDateTime(NowLocal()).Year;
    const int twoDigits = now % 100;
    const std::pair<std::string, std::string> cases[] = {
        {"1999", "1999"},
        {std::to_string(twoDigits), std::to_string(2000 + twoDigits)},
        {std::to_string(twoDigits + 1), std::to_string(1901 + twoDigits)},
        {" 85 ", "1985"},
        {"0", ""},
        {"abc", ""},
    };
    for (const auto& [text, year] : cases) {
        TAPETags fresh(path, 1, TAPETags::ModeRead);
        fresh.SetYear(text);
        EXPECT_EQ(fresh.GetField("Year"), year) << text;
    }
}

TEST_F(TagImport, DayNumbersOfDateTexts)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2000-01-01", 36526}, {"2024-03-15T10:00", 45366}, {"1900-01-01", 2},
        {"1899-12-30", 1}, {"2024-02-30", 1}, {"abc", 1}, {"", 1},
    };
    for (const auto& [text, day] : cases)
        EXPECT_EQ(TAPETags::DayNumber(text), day) << text;
    tags.SetDateField("RecordDate", "1900-01-01");
    EXPECT_EQ(tags.GetField("RecordDate"), "2");
    tags.SetDateField("Other", "1899-12-31");
    EXPECT_EQ(tags.IndexOf("Other"), -1);
}

TEST_F(TagImport, TempoTextsAndBpm)
{
    const std::pair<const char*, const char*> tempos[] = {
        {"slow", "1"}, {"Medium Slow", "2"}, {"SLOW-MEDIUM", "2"}, {"Medium", "3"},
        {"fast medium", "4"}, {"Medium-Fast", "4"}, {"Fast", "5"}, {"Quick", ""},
    };
    for (const auto& [text, tempo] : tempos) {
        TAPETags fresh(path, 1, TAPETags::ModeRead);
        fresh.SetTempoText(text);
        EXPECT_EQ(fresh.GetField("Tempo"), tempo) << text;
    }
    const std::pair<const char*, const char*> bpms[] = {
        {"120", "120"}, {"120.7", "120"}, {"98,6", "98"}, {"255", "255"}, {"256", ""}, {"0", ""}, {"x", ""},
    };
    for (const auto& [text, bpm] : bpms)
        EXPECT_EQ(TAPETags::NormalizeBPM(text), bpm) << text;
}

TEST_F(TagImport, CleanAndWideSetters)
{
    tags.SetCleanField("Genre", "0");
    EXPECT_EQ(tags.IndexOf("Genre"), -1);
    tags.SetCleanField("Album", "  Best \"Of\"\t ");
    EXPECT_EQ(tags.GetField("Album"), "Best 'Of'");
    tags.SetCleanField("Comment", std::string(300, 'c'));
    EXPECT_EQ(tags.GetField("Comment").size(), 255u);
    tags.SetWideField("Title", u"Caf\u00E9");
    EXPECT_EQ(tags.GetField("Title"), "\x7F" "Caf\xC3\xA9");
    tags.SetWideField("Mood", u"calm");
    EXPECT_EQ(tags.GetField("Mood"), "calm");
    tags.SetCleanWideField("Artist", u" Bj\u00F6rk ");
    EXPECT_EQ(tags.GetField("Artist"), "\x7F" "Bj\xC3\xB6rk");
    // 255 characters, not bytes, of a marked text.
    std::u16string many(300, u'\u00E9');
    tags.SetCleanWideField("Publisher", many);
    EXPECT_EQ(tags.GetField("Publisher").size(), 1u + 255 * 2);
}

TEST_F(TagImport, ImportFillsTheDurationOnce)
{
    Bytes xing = MpegFrames(kMpeg1Header, 8, kMpeg1FrameLength);
    std::copy_n("Xing", 4, xing.begin() + 36);
    PutBE32(xing, 40, 1);
    PutBE32(xing, 44, 1000);
    WriteFile(folder.File("x.mp3"), xing);
    TAPETags store(folder.File("x.mp3"), 1, TAPETags::ModeReadShared);
    store.ImportFormatTags();
    EXPECT_EQ(store.GetField("Duration"), "26122");
    store.SetField("Duration", "1234");
    store.ImportFormatTags();
    EXPECT_EQ(store.GetField("Duration"), "1234");

    WriteFile(folder.File("n.txt"), Bytes(400, 'n'));
    TAPETags text(folder.File("n.txt"), 1, TAPETags::ModeReadShared);
    text.ImportFormatTags();
    EXPECT_EQ(text.Count(), 0);
}

} // namespace
} // namespace zd

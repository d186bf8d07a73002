#include <gtest/gtest.h>

#include "TagTestFiles.hpp"
#include "audio/tags/FileHint.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/CodePage.hpp"
#include "common/DateTime.hpp"
#include "common/DosTime.hpp"

namespace zd {
namespace {

using namespace testdata;

std::string IsoMinutes(TDateTime when)
{
    const auto p = DecodeDateTime(when);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u", p.Year, p.Month, p.Day, p.Hour, p.Minute);
    return text;
}

TEST(TagHint, CaptionsAndFormattedValues)
{
    InitFieldCaptions(&IsoMinutes);
    TempFolder folder;
    const std::string path = folder.File("Hint \xE9.mp3"); // a code-page name
    WriteFile(folder.File("Hint \xC3\xA9.mp3"), SmallMp3());
    Bytes history;
    PutLE32(history, static_cast<std::uint32_t>(PackDosDateTime(2024, 3, 15, 10, 30, 0)));
    PutLE32(history, static_cast<std::uint32_t>(PackDosDateTime(2024, 3, 1, 8, 5, 0)));
    for (int i = 0; i < 16; ++i)
        PutLE32(history, 0x00210000);
    {
        TAPETags tags(path, 1, TAPETags::ModeReadWrite);
        tags.SetField("Composer", "  Mozart ");
        tags.SetField("Year", "1787");
        tags.SetField("Rating", "0");
        tags.SetField("Comment", "\x7F" "Tr\xC3\xA8s bien");
        tags.SetField("Tempo", "3");
        tags.SetField("FadeSpeed", "5000");
        tags.SetField("HookStart", "61500");
        tags.SetField("HookLen", "9250");
        tags.SetField("XLastScheduled", AsText(history));
        tags.WriteTags();
    }
    const std::u16string expected = *Utf8ToWide(
        "Composer:     Mozart\r\n"
        "Year:         1787\r\n"
        "Comment:      Tr\xC3\xA8s bien\r\n"
        "Tempo:        Medium\r\n"
        "Track Ending: Long Fade\r\n"
        "Hook Times:   01:01.5, 09.2\r\n"
        "Last Scheduled: \r\n      2024-03-15 10:30\r\n      2024-03-01 08:05\r\n"
        "Filename:     " + folder.File("Hint \xC3\xA9.mp3"));
    EXPECT_EQ(WideToUtf8(FileHintText(path)), WideToUtf8(expected));
}

TEST(TagHint, EmptyForMissingFilesAndImportsForUntaggedOnes)
{
    InitFieldCaptions();
    TempFolder folder;
    EXPECT_TRUE(FileHintText(folder.File("none.mp3")).empty());
    WriteFile(folder.File("bare.mp3"), SmallMp3());
    // No fields of its own: the duration is imported, and only the file name shows.
    EXPECT_EQ(WideToUtf8(FileHintText(folder.File("bare.mp3"))), "Filename:     " + folder.File("bare.mp3"));
    WriteFile(folder.File("other.txt"), Bytes(300, 't'));
    EXPECT_TRUE(FileHintText(folder.File("other.txt")).empty()) << "no fields at all";
}

TEST(TagHint, MinutesSecondsMs)
{
    EXPECT_EQ(MinutesSecondsMs(61500), "01:01.500");
    EXPECT_EQ(MinutesSecondsMs(0), "00:00.000");
    EXPECT_EQ(MinutesSecondsMs(6000000), "100:00.000");
}

} // namespace
} // namespace zd

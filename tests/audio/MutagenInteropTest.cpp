// Tags written by mutagen (python3-mutagen) import into the tag store with
// the values of the import tables.

#include <gtest/gtest.h>

#include "MutagenFiles.hpp"
#include "audio/tags/TAPETags.hpp"

namespace zd {
namespace {

using namespace testdata;

TEST(MutagenInterop, WrittenTagsImportIntoTheStore)
{
    if (!HaveTool("sox") || !HaveTool("lame") || !HaveTool("ffmpeg") || !HaveMutagen())
        GTEST_SKIP() << "sox, lame, ffmpeg or python3-mutagen missing";
    TempFolder folder;
    ASSERT_TRUE(MakeMutagenFiles(folder.Path()));
    const std::string vorbisFields[][2] = {{"Title", "\x7FVorbis \xC3\xA9 Title"}, {"Artist", "Comment Artist"},
        {"Album Artist", "Album Artist"}, {"Intro", "12000"}, {"Segue", ""}, {"Tempo", "4"}, {"BPM", "98"},
        {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"}, {"Comment", std::string(70000, 'x')}, {"Track", "7"}};
    const struct {
        const char* file;
        std::vector<std::array<std::string, 2>> fields;
    } cases[] = {
        {"v23.mp3", {{"Title", "Caf\xE9 Latin"}, {"Artist", "\x7F" "Bj\xC3\xB6rk Wide"}, {"Album", "Plain Album"},
            {"Genre", "Rock"}, {"Comment", "\x7FWide comment \xC3\xA9"}, {"Track", "3/12"}, {"BPM", "120"},
            {"Year", "1999"}}},
        {"v24.mp3", {{"Title", "\x7F\xC3\x9Cnic\xC3\xB6" "de Title"}, {"Artist", "UTF-16 Artist"},
            {"Composer", "Latin Composer \xE9"}, {"RecordDate", "45366"}, {"ISRC", "GBAYE0000351"},
            {"Comment", "UTF-8 comment"}, {"Genre", "Indie"}}},
        {"vorbis.ogg", {}},
        {"opus.opus", {}},
        {"flac.flac", {}},
        {"aac.m4a", {{"Title", "MP4 Title"}, {"Artist", "MP4 Artist"}, {"Album Artist", "MP4 Album Artist"},
            {"Year", "2021"}, {"Track", "3/12"}, {"BPM", "120"}, {"Comment", "MP4 comment"},
            {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"}}},
        {"wma.wma", {{"Title", "WMA Title"}, {"Artist", "WMA Author"}, {"Album", "WMA Album"}, {"Genre", "Jazz"},
            {"Track", "4"}, {"BPM", "128"}, {"Year", "1998"}, {"Comment", "WMA description"},
            {"REPLAYGAIN_TRACK_GAIN", "-3.20 dB"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TAPETags tags(folder.File(c.file), 1, TAPETags::ModeRead);
        ASSERT_TRUE(tags.Opened());
        tags.ImportFormatTags();
        EXPECT_GT(std::stoi(tags.GetField("Duration")), 500);
        auto fields = c.fields;
        if (fields.empty())
            for (const auto& f : vorbisFields)
                fields.push_back({f[0], f[1]});
        for (const auto& [name, value] : fields)
            EXPECT_EQ(tags.GetField(name), value) << name;
    }
}

} // namespace
} // namespace zd

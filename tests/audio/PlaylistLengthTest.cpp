// Lengths of m3u and pls lists through the duration facade.

#include <gtest/gtest.h>

#include "MPEGTestData.hpp"
#include "audio/FileDuration.hpp"
#include "audio/playlists/PlaylistLength.hpp"

namespace zd {
namespace {

using namespace testdata;

class PlaylistLength : public ::testing::Test {
protected:
    PlaylistLength()
    {
        // Three WAV files of 1, 2 and 3 seconds.
        for (int i = 1; i <= 3; ++i)
            WriteFile(folder.File(std::to_string(i) + "s.wav"), TinyWav(8000 * static_cast<std::size_t>(i)));
    }

    std::int32_t LengthOf(const std::string& name, const std::string& text)
    {
        const std::string path = folder.File(name);
        WriteFile(path, Bytes(text.begin(), text.end()));
        return GetFileDuration(path);
    }

    TempFolder folder;
};

TEST_F(PlaylistLength, M3UAddsWrittenLengthsAndEntryFiles)
{
    const std::pair<std::string, std::int32_t> cases[] = {
        {"#EXTINF:180,A - a\r\nx.mp3\r\n#EXTINF:200.5,B - b\r\ny.mp3\r\n", 380500},
        {"1s.wav\n2s.wav\n3s.wav\n", 6000},
        {"1s.wav\n2s.wav\n3s.wav", 6000},
        {"#EXTM3U\n\n# a remark\n1s.wav\n" + folder.File("3s.wav") + "\n", 4000},
        {"1s.wav\nmissing.wav\n", 999},
        {"1s.wav\nhttp://example.invalid/stream\n", 1000},
        {"#EXTM3U\n#EXTINF:123.4,Radio\nhttp://example.invalid/live\n", 123400},
        {"#EXTINF:abc,bad number\nx.mp3\n2s.wav\n", 2000},
        {"http://example.invalid/live", -1},
        {"#EXTM3U", -1},
        {"", -1},
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(LengthOf("list.m3u", text), ms) << text;
}

TEST_F(PlaylistLength, PLSTakesLengthsOrEntryFiles)
{
    const std::pair<std::string, std::int32_t> cases[] = {
        {"[playlist]\nFile1=a.mp3\nFile2=b.mp3\nLength1=180\nLength2=-1\nNumberOfEntries=2\n", 179000},
        {"[playlist]\nFile1=http://example.invalid/live\nLength1=-1\n", -1},
        {"[playlist]\nFile1=http://example.invalid/live\nLength1=95\n", 95000},
        {"[playlist]\nfile1=1s.wav\nFILE2=3s.wav\nTitle1=One\n", 4000},
        {"[playlist]\nFile1=2s.wav\nFile2=http://example.invalid/x\nLength1=x\n", -1},
        {"1s.wav\n2s.wav\n", 3000},
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(LengthOf("list.pls", text), ms) << text;
}

TEST_F(PlaylistLength, NestedListsStopAtTheDepthLimit)
{
    LengthOf("inner.pls", "[playlist]\nFile1=2s.wav\n");
    EXPECT_EQ(LengthOf("outer.m3u", "1s.wav\ninner.pls\n"), 3000);
    // A list that names itself: read down to the limit, where it counts -1.
    EXPECT_EQ(LengthOf("self.m3u", "self.m3u\n1s.wav\n"), MaxPlaylistDepth * 1000 - 1);
    // Two lists that name each other.
    LengthOf("b.pls", "[playlist]\nFile1=a.m3u\nFile2=1s.wav\n");
    EXPECT_EQ(LengthOf("a.m3u", "b.pls\n"), MaxPlaylistDepth / 2 * 1000 - 1);
}

} // namespace
} // namespace zd

#include <gtest/gtest.h>

#include "common/Base64.hpp"
#include "common/Scramble.hpp"
#include "preview/PreviewRequest.hpp"

namespace zd {
namespace {

TEST(PreviewRequest, TargetToFileName)
{
    const struct {
        const char* line;
        const char* name;
        bool replayGain;
    } cases[] = {
        {"GET /C:/a/b.wav.mp3 HTTP/1.1", "C:\\a\\b.wav", false},
        {"GET /C:/a/b.wav HTTP/1.1", "", false},
        {"GET /C:/a/My%20Song.MP3 HTTP/1.0", "C:\\a\\My Song", false},
        {"GET /C:/a/%C3%A9.flac.mp3 http/1.1", "C:\\a\\%C3%A9.flac", false},
        {"GET /D:/Music/Song.flac?rg=1.mp3 HTTP/1.1", "D:\\Music\\Song.flac", true},
        {"GET /D:/Music/Song.flac?RG=1.mp3 HTTP/1.1", "D:\\Music\\Song.flac", false},
        {"GET /x.mp3", "", false},
        {"GET HTTP/1.1", "", false},
    };
    for (const auto& c : cases) {
        PreviewRequest request;
        request.ReplayGainWanted = !c.replayGain;
        request.ReadTarget(c.line);
        EXPECT_EQ(request.FileName, c.name) << c.line;
        EXPECT_EQ(request.ReplayGainWanted, c.replayGain) << c.line;
    }
    EXPECT_TRUE(PreviewRequest::IsRequestLine("get /x http/1.1"));
    EXPECT_FALSE(PreviewRequest::IsRequestLine("Login"));
}

TEST(PreviewRequest, HeaderLinesAndRanges)
{
    const struct {
        const char* line;
        std::int64_t start;
        std::int64_t end;
        bool ms;
        bool browser;
    } cases[] = {
        {"Range: bytes=1000-", 1000, 0, false, true},
        {"range: BYTES=500-2000", 500, 2000, false, true},
        {"Range: bytes=-1000", -1000, 0, false, true},
        {"Range: bytes=0-0", 0, 0, false, true},
        {"Range: milliseconds=30000-", 30000, 0, true, true},
        {"Range:  bytes=1000-", 0, 0, false, true},
        {"Range: bytes=abc", 0, 0, false, true},
        {"User-Agent: Winamp/5.9", 0, 0, false, false},
        {"X-Client: Vornelle VT", 0, 0, false, false},
        {"User-Agent: winamp", 0, 0, false, true},
    };
    for (const auto& c : cases) {
        PreviewRequest request;
        request.ReadHeader(c.line);
        EXPECT_EQ(request.RangeStart, c.start) << c.line;
        EXPECT_EQ(request.RangeEnd, c.end) << c.line;
        EXPECT_EQ(request.RangeInMilliseconds, c.ms) << c.line;
        EXPECT_EQ(request.BrowserMode, c.browser) << c.line;
    }
}

TEST(PreviewRequest, CredentialsAreScrambledBase64)
{
    PreviewRequest request;
    request.ReadHeader("Authorization: Basic " + Base64Encode(Scramble("Bob:Secret:x", true)));
    request.DecodeCredentials();
    EXPECT_EQ(request.Credentials, "Bob");
    EXPECT_EQ(request.SentPassword, "Secret:x");

    PreviewRequest nameOnly;
    nameOnly.ReadHeader("authorization: basic " + Base64Encode(Scramble("alice", true)));
    nameOnly.DecodeCredentials();
    EXPECT_EQ(nameOnly.Credentials, "alice");
    EXPECT_EQ(nameOnly.SentPassword, "");

    PreviewRequest none;
    none.DecodeCredentials();
    EXPECT_EQ(none.Credentials, "");
}

// The edge list: a 180000 ms file (179950 after the 50 ms deduction) at 64 kbit/s.
TEST(PreviewRequest, LengthsAndPositions)
{
    constexpr std::int64_t kDuration = 179950;
    const struct {
        const char* header;
        bool satisfiable;
        std::int64_t contentLength;
        std::int32_t cueMs;
    } cases[] = {
        {"", true, 1439600, 0},
        {"Range: bytes=1000-", true, 1438600, 125},
        {"Range: bytes=-1000", true, 1000, 179825},
        {"Range: bytes=0-0", true, 1439600, 0},
        {"Range: bytes=0-1000", true, 1000, 0},
        {"Range: milliseconds=30000-", true, 1199600, 30000},
        {"Range: bytes=1439600-", true, 0, 179950},
        {"Range: bytes=1439601-", false, 0, 0},
        {"Range: bytes=0-1439601", false, 0, 0},
        {"Range: milliseconds=180000-", false, 0, 0},
        {"Range: bytes=5000-100", false, 0, 0},
        {"Range: bytes=-1439601", false, 0, 0},
        {"Range: milliseconds=9999999999-", false, 0, 0},
    };
    for (const auto& c : cases) {
        PreviewRequest request;
        request.ReadHeader(c.header);
        const PreviewLengths lengths = ComputePreviewLengths(request, kDuration, 64);
        EXPECT_EQ(lengths.FullLength, 1439600) << c.header;
        EXPECT_EQ(lengths.Satisfiable, c.satisfiable) << c.header;
        EXPECT_EQ(lengths.ContentLength, c.contentLength) << c.header;
        EXPECT_EQ(lengths.CueTimeMs, c.cueMs) << c.header;
    }
}

TEST(Base64, RoundTrip)
{
    for (const char* text : {"", "a", "ab", "abc", "abcd", "\xff\x01:"}) {
        EXPECT_EQ(Base64Decode(Base64Encode(text)), text);
    }
    EXPECT_EQ(Base64Encode("Bob:pw"), "Qm9iOnB3");
    EXPECT_EQ(Base64Decode("Qm9i!OnB3"), "Bob:pw");
}

} // namespace
} // namespace zd

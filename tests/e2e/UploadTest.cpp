// Voice-track and playlist uploads on the real server.

#include "PlaylistServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include <random>

namespace zd::e2e {
namespace {

using ::testing::HasSubstr;

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        const auto word = random();
        std::memcpy(bytes.data() + i, &word, 4);
    }
    return bytes;
}

class Upload : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<PlaylistServer>(std::vector<TUser>{PlaylistAccount("eve"), PlaylistAccount("finn"), PlaylistAccount("gus")});
    }
    static void TearDownTestSuite()
    {
        server.reset();
    }
    static std::filesystem::path VoiceTracks() { return server->demo.CadmoraFolder() / "VoiceTracks"; }

    static inline std::unique_ptr<PlaylistServer> server;
};


TEST_F(Upload, LargeVoiceTrackArrivesByteIdentical)
{
    const auto local = server->demo.Prefix() / "link.wav";
    const std::string track = RandomBytes(50u << 20, 1);
    PutFile(local, track);

    const auto [code, output] = server->VtClient("eve", {"upload-vt", local.string(), "-"});

    EXPECT_EQ(code, 0) << output;
    EXPECT_TRUE(FileBytes(VoiceTracks() / "link.wav") == track);
    EXPECT_FALSE(std::filesystem::exists(VoiceTracks() / "link.bak"));
    EXPECT_TRUE(server->process->WaitForOutput("User eve saved link.wav"));
}

TEST_F(Upload, PlaylistFileGoesToTheWriteFolder)
{
    const auto local = server->demo.Prefix() / "import.m3u";
    PutFile(local, "#EXTM3U\r\nC:\\Cadmora\\Library\\a.mp3\r\n");

    const auto [code, output] = server->VtClient("eve", {"upload-pl", local.string(), "1214.m3u"});

    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(FileBytes(server->demo.CadmoraFolder() / "Import" / "1214.m3u"), FileBytes(local));
}

TEST_F(Upload, VtClientNameIsOptionalAndEndsAtTheNextCommand)
{
    const auto track = server->demo.Prefix() / "intro.wav";
    const auto list = server->demo.Prefix() / "1215.m3u";
    PutFile(track, RandomBytes(1000, 4));
    PutFile(list, "#EXTM3U\r\n");

    const auto [code, output] = server->VtClient(
        "eve", {"upload-vt", track.string(), "upload-pl", list.string(), "--", "Nothing"});

    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(FileBytes(VoiceTracks() / "intro.wav"), FileBytes(track));
    EXPECT_EQ(FileBytes(server->demo.CadmoraFolder() / "Import" / "1215.m3u"), FileBytes(list));
    EXPECT_THAT(output, HasSubstr("What> Nothing"));
}

TEST_F(Upload, ConnectionDroppedHalfWayKeepsThePreviousFile)
{
    const auto target = VoiceTracks() / "take.wav";
    const std::string previous = RandomBytes(4096, 2);
    PutFile(target, previous);
    {
        auto finn = server->LoggedIn("finn");
        finn->WriteLine("WriteVT=take.wav");
        finn->WriteLine("1000000");
        ASSERT_EQ(finn->ReadLine(), "OK");
        finn->Write(RandomBytes(300000, 3));
    }
    ASSERT_TRUE(server->process->WaitForOutput("User finn disconnected"));
    EXPECT_TRUE(FileBytes(target) == previous);
    EXPECT_FALSE(std::filesystem::exists(VoiceTracks() / "take.bak"));
    EXPECT_THAT(server->process->Stdout(), HasSubstr("take.wav failed.1000000/"));
}

TEST_F(Upload, NameOutsideTheFolderIsRefusedAndNothingIsWritten)
{
    auto gus = server->LoggedIn("gus");
    const auto before = Snapshot(server->demo.Prefix());
    for (const char* command : {"WriteVT=..\\Data\\colors.dat", "WriteVT=..\\evil.wav", "WritePL=../evil.m3u",
                                "WriteVT=C:\\evil.wav", "WritePL=.."}) {
        SCOPED_TRACE(command);
        gus->WriteLine(command);
        gus->WriteLine("5");
        EXPECT_EQ(gus->ReadLine(), "Invalid file name");
    }
    gus->WriteLine("Nothing");
    EXPECT_EQ(gus->ReadLine(), "What> Nothing");
    EXPECT_TRUE(server->process->WaitForOutput("evil.wav failed.-1/0"));
    const auto after = Snapshot(server->demo.Prefix());
    EXPECT_TRUE(after == before);
    for (std::size_t i = 0; i < std::min(before.size(), after.size()); ++i)
        EXPECT_EQ(after[i].first, before[i].first);
}

TEST_F(Upload, CountThatIsNotPositiveGetsNoReply)
{
    auto gus = server->LoggedIn("gus");
    for (const char* count : {"0", "-20", "many"}) {
        SCOPED_TRACE(count);
        gus->WriteLine("WriteVT=quiet.wav");
        gus->WriteLine(count);
        gus->WriteLine("Nothing");
        EXPECT_EQ(gus->ReadLine(), "What> Nothing");
    }
    EXPECT_FALSE(std::filesystem::exists(VoiceTracks() / "quiet.wav"));
}

} // namespace
} // namespace zd::e2e

// The "Settings" reply of the real server on a copy of the demo installation.

#include "PlaylistServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include <set>

namespace zd::e2e {
namespace {

using ::testing::Each;
using ::testing::SizeIs;

// Items 1 to 35 (scheduler values, voice-track folder, locale), the
// permission line and the seven hour lines.
constexpr std::size_t kFixedLines = 15 + 15 + 24 + 14 + 1 + 1 + 7;

std::vector<std::string> ReadLines(RawClient& client, std::size_t count)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        const auto line = client.ReadLine();
        if (!line)
            break;
        lines.push_back(*line);
    }
    return lines;
}

// The reply ended where expected: the next line answers the next command.
void ExpectReplyEnded(RawClient& client)
{
    client.WriteLine("Nothing");
    EXPECT_EQ(client.ReadLine(), "What> Nothing");
}

class SettingsReply : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TUser limited = PlaylistAccount("limited");
        limited.LimitVT = 1;
        limited.DayAllowed[0] = 0; // Monday off while its hours stay allowed
        server = std::make_unique<PlaylistServer>(std::vector<TUser>{PlaylistAccount("plain"), limited}, 90);
    }
    static void TearDownTestSuite()
    {
        server.reset();
    }

    std::filesystem::path Colors() const { return server->demo.DataFolder() / "colors.dat"; }

    static inline std::unique_ptr<PlaylistServer> server;
};


const std::set<std::string> kDemoPlaylists{"1210-06.plg", "1210-09.plg", "1211-06.plg"};
const std::vector<std::string> kColorLines{
    "Background=16777215", "Text=0", "Song=12632256", "Spot=8454143", "Jingle=16744576",
    "VoiceTrack=8421631", "Break=12648384", "Selected=16711680"};

TEST_F(SettingsReply, FixedPartPermissionsAndHours)
{
    // Defaults of an account, the scheduler's value 58 ("1" in the demo), the limit.
    for (const auto& [login, limit] : {std::pair{"limited", "000011011090"}, std::pair{"plain", "000011011000"}}) {
        SCOPED_TRACE(login);
        auto client = server->LoggedIn(login);
        client->WriteLine("Settings");
        const auto lines = ReadLines(*client, kFixedLines + kColorLines.size() + 1 + kDemoPlaylists.size());
        ASSERT_THAT(lines, SizeIs(kFixedLines + kColorLines.size() + 1 + kDemoPlaylists.size()));
        EXPECT_EQ(lines[0], "Demo FM - Your hits");
        EXPECT_EQ(lines[2], "2");
        EXPECT_EQ(lines[14], "C:\\Cadmora\\VoiceTracks\\");
        const std::string& permissions = lines[kFixedLines - 8];
        EXPECT_EQ(lines[1], "5");
        EXPECT_EQ(permissions, limit);
        const bool mondayOff = std::string(login) == "limited";
        EXPECT_EQ(lines[kFixedLines - 7], std::string(24, mondayOff ? '0' : '1'));
        EXPECT_THAT(std::vector(lines.begin() + kFixedLines - 6, lines.begin() + kFixedLines),
                    Each(std::string(24, '1')));
        EXPECT_EQ(std::vector(lines.begin() + kFixedLines, lines.begin() + kFixedLines + 8), kColorLines);
        EXPECT_EQ(lines[kFixedLines + 8], "3");
        EXPECT_EQ(std::set(lines.begin() + kFixedLines + 9, lines.end()), kDemoPlaylists);
        ExpectReplyEnded(*client);
    }
}

TEST_F(SettingsReply, ColoursAsTheFileHoldsThem)
{
    const std::string original = FileBytes(Colors());
    auto client = server->LoggedIn("plain");

    // Without a final line end the count arrives on the last colour line.
    PutFile(Colors(), original.substr(0, original.size() - 2));
    client->WriteLine("Settings");
    auto lines = ReadLines(*client, kFixedLines + 8 + 3);
    ASSERT_THAT(lines, SizeIs(kFixedLines + 8 + 3));
    EXPECT_EQ(lines[kFixedLines + 7], "Selected=167116803");
    ExpectReplyEnded(*client);

    // No colours file: one empty line.
    std::filesystem::remove(Colors());
    client->WriteLine("Settings");
    lines = ReadLines(*client, kFixedLines + 2 + 3);
    ASSERT_THAT(lines, SizeIs(kFixedLines + 2 + 3));
    EXPECT_EQ(lines[kFixedLines], "");
    EXPECT_EQ(lines[kFixedLines + 1], "3");
    ExpectReplyEnded(*client);

    PutFile(Colors(), original);
}

TEST_F(SettingsReply, PlaylistNamesGatheredForEachReply)
{
    auto client = server->LoggedIn("plain");
    const auto added = server->demo.PlaylistFolder() / "1212-06.plg";
    PutFile(added, "B,06:00:00,Hour 06\r\n");
    std::filesystem::create_directory(server->demo.PlaylistFolder() / "folder.plg");

    client->WriteLine("Settings");
    const auto lines = ReadLines(*client, kFixedLines + 8 + 1 + 4);
    ASSERT_THAT(lines, SizeIs(kFixedLines + 8 + 1 + 4));
    EXPECT_EQ(lines[kFixedLines + 8], "4");
    auto expected = kDemoPlaylists;
    expected.insert("1212-06.plg");
    EXPECT_EQ(std::set(lines.begin() + kFixedLines + 9, lines.end()), expected);
    ExpectReplyEnded(*client);

    std::filesystem::remove(added);
    std::filesystem::remove(server->demo.PlaylistFolder() / "folder.plg");
}

TEST_F(SettingsReply, VtClientPrintsNumberedLines)
{
    const auto [code, output] = server->VtClient("limited", {"settings"});
    EXPECT_EQ(code, 0) << output;
    EXPECT_THAT(output, ::testing::HasSubstr("\n1: Demo FM - Your hits\n"));
    EXPECT_THAT(output, ::testing::HasSubstr("\n" + std::to_string(kFixedLines - 7) + ": 000011011090\n"));
    EXPECT_THAT(output, ::testing::HasSubstr("\n" + std::to_string(kFixedLines + 9) + ": 3\n"));
}

} // namespace
} // namespace zd::e2e

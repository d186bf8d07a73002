// Playlist download and block-wise save on the real server: locking between
// users, the backup, and a connection lost in the middle of a save.

#include "PlaylistServer.hpp"

#include "audio/TVRNFileStream.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include <cstdio>
#include <thread>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

// A save body for one playlist: the lines given for their blocks.
std::string Body(const std::string& name, const std::vector<std::pair<int, std::string>>& lines)
{
    std::string body = "00-1" + name + "\r\n";
    for (const auto& [block, line] : lines) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%04d", block);
        body += prefix + line + "\r\n";
    }
    return body + "9999" + std::to_string(lines.size()) + "\r\n";
}

// Sends "WritePLG=", the size and the body; the server's "OK" is awaited
// before the body goes.
void SendSave(RawClient& client, const std::string& body)
{
    client.WriteLine("WritePLG=");
    client.WriteLine(std::to_string(body.size()));
    ASSERT_EQ(client.ReadLine(), "OK");
    client.Write(body);
}

// The playlist with the content of one block (after its "B," line) replaced.
std::vector<std::string> WithBlock(std::vector<std::string> lines, int block, const std::string& content)
{
    int seen = -1;
    std::vector<std::string> out;
    bool dropping = false;
    for (const auto& line : lines) {
        if (line.rfind("B,", 0) == 0) {
            ++seen;
            dropping = false;
            out.push_back(line);
            if (seen == block) {
                out.push_back(content);
                dropping = true;
            }
            continue;
        }
        if (!dropping)
            out.push_back(line);
    }
    return out;
}

class PlaylistTransfer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<PlaylistServer>(std::vector<TUser>{PlaylistAccount("anna"), PlaylistAccount("ben"),
                                     PlaylistAccount("cara"), PlaylistAccount("dora")});
    }
    static void TearDownTestSuite()
    {
        server.reset();
    }
    static std::filesystem::path Playlist(const std::string& name)
    {
        return server->demo.PlaylistFolder() / name;
    }

    static inline std::unique_ptr<PlaylistServer> server;
};


TEST_F(PlaylistTransfer, DownloadSendsTheBytesOnlyAfterOK)
{
    auto client = server->LoggedIn("anna");
    const std::string content = FileBytes(Playlist("1210-09.plg"));

    client->WriteLine("GetPLG=1210-09.plg");
    EXPECT_EQ(client->ReadLine(), std::to_string(content.size()));
    client->WriteLine("OK");
    std::vector<std::string> received;
    for (std::size_t i = 0; i < LinesOf(content).size(); ++i)
        received.push_back(client->ReadLine().value_or("<missing>"));
    EXPECT_EQ(received, LinesOf(content));

    client->WriteLine("GetPLG=1210-09.plg");
    EXPECT_EQ(client->ReadLine(), std::to_string(content.size()));
    client->WriteLine("ok");
    EXPECT_EQ(client->ReadLine(), "-1");

    for (const char* name : {"GetPLG=none.plg", "GetPLG=..\\Data\\colors.dat", "GetPLG=C:\\Cadmora\\Data\\colors.dat"}) {
        client->WriteLine(name);
        EXPECT_EQ(client->ReadLine(), "-1") << name;
    }
    client->WriteLine("Nothing");
    EXPECT_EQ(client->ReadLine(), "What> Nothing");
    EXPECT_TRUE(server->process->WaitForOutput("User anna retrieving 1210-09.plg"));
}

TEST_F(PlaylistTransfer, TwoUsersSavingTheSamePlaylistTakeTurns)
{
    const auto path = Playlist("1210-06.plg");
    const auto old = LinesOf(FileBytes(path));
    auto anna = server->LoggedIn("anna");
    auto ben = server->LoggedIn("ben");
    {
        // Someone else (the scheduler, say) holds the playlist while both
        // saves arrive, so both wait for it.
        TVRNFileStream scheduler(path.string(), kOpenReadWrite | kShareExclusive);
        SendSave(*anna, Body("1210-06.plg", {{0, "S,anna one"}}));
        SendSave(*ben, Body("1210-06.plg", {{2, "S,ben three"}}));
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_EQ(anna->ReadLine(20s), "OK");
    EXPECT_EQ(ben->ReadLine(20s), "OK");

    // Each save merged its block over what the other left: both edits are
    // there, and nothing else changed.
    EXPECT_EQ(FileBytes(path), JoinCrLf(WithBlock(WithBlock(old, 0, "S,anna one"), 2, "S,ben three")));
    ASSERT_TRUE(server->process->WaitForOutput("User anna saved 1210-06.plg"));
    ASSERT_TRUE(server->process->WaitForOutput("User ben saved 1210-06.plg"));
    const std::string log = server->process->Stdout();
    const auto annaOpened = log.find("User anna opened 1210-06.plg");
    const auto annaSaved = log.find("User anna saved 1210-06.plg");
    const auto benOpened = log.find("User ben opened 1210-06.plg");
    const auto benSaved = log.find("User ben saved 1210-06.plg");
    ASSERT_NE(annaOpened, std::string::npos);
    ASSERT_NE(benOpened, std::string::npos);
    const bool annaFirst = annaSaved < benOpened;
    EXPECT_TRUE(annaFirst || benSaved < annaOpened) << "the saves interleaved:\n" << log;
    // The backup holds what the later save replaced: the earlier one's result.
    const auto first = annaFirst ? WithBlock(old, 0, "S,anna one") : WithBlock(old, 2, "S,ben three");
    EXPECT_EQ(FileBytes(Playlist("1210-06.bak")), JoinCrLf(first));
}

TEST_F(PlaylistTransfer, ConnectionLostInTheBodyLeavesThePlaylist)
{
    const auto path = Playlist("1211-06.plg");
    const std::string before = FileBytes(path);
    {
        auto cara = server->LoggedIn("cara");
        const std::string body = Body("1211-06.plg", {{0, "S,lost"}, {1, "S,lost too"}});
        cara->WriteLine("WritePLG=");
        cara->WriteLine(std::to_string(body.size()));
        ASSERT_EQ(cara->ReadLine(), "OK");
        cara->Write(body.substr(0, body.size() / 2));
    }
    ASSERT_TRUE(server->process->WaitForOutput("User cara disconnected"));
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(Playlist("1211-06.bak")));
    EXPECT_THAT(server->process->Stdout(), ::testing::Not(HasSubstr("User cara opened")));
}

TEST_F(PlaylistTransfer, VtClientSavesTheBlocksThatDiffer)
{
    const auto path = Playlist("1213-06.plg");
    std::filesystem::copy_file(Playlist("1210-09.plg"), path);
    const auto old = LinesOf(FileBytes(path));
    const auto edited = JoinCrLf(WithBlock(old, 1, "V,C:\\Cadmora\\VoiceTracks\\link.wav,Voice Track,,9000"));
    const auto local = server->demo.Prefix() / "edited.plg";
    PutFile(local, edited);

    const auto [code, output] = server->VtClient("dora", {"save-playlist", "1213-06.plg", local.string()});
    EXPECT_EQ(code, 0) << output;
    EXPECT_THAT(output, HasSubstr("OK (1 blocks sent)"));
    EXPECT_EQ(FileBytes(path), edited);

    const auto copy = server->demo.Prefix() / "copy.plg";
    const auto [getCode, getOutput] = server->VtClient("dora", {"get-playlist", "1213-06.plg", copy.string()});
    EXPECT_EQ(getCode, 0) << getOutput;
    EXPECT_EQ(FileBytes(copy), edited);

    // Without FILE the playlist goes to standard output.
    const auto [printCode, printed] = server->VtClient("dora", {"get-playlist", "1213-06.plg"});
    EXPECT_EQ(printCode, 0) << printed;
    EXPECT_THAT(printed, HasSubstr(edited));
}

} // namespace
} // namespace zd::e2e

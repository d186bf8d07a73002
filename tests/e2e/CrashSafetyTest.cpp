// What a crash, a full disk or an oversized body leaves behind, on the real
// server. Kills are SIGKILL at points the test chooses by what it has sent
// and received; the full disk is a real ENOSPC from a 2 MB tmpfs mounted
// over the voice-track folder in a private mount namespace (root only).

#include "PlaylistServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

std::string Pattern(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + static_cast<char>(i * 7));
    return bytes;
}

std::vector<std::string> Names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CrashSafety, AnUploadKilledHalfWayLeavesThePreviousFileAndNoLeftoverAfterTheRestart)
{
    PlaylistServer server({PlaylistAccount("eve")});
    const auto tracks = server.demo.CadmoraFolder() / "VoiceTracks";
    const std::string previous = Pattern(100000, 'p');
    PutFile(tracks / "take.wav", previous);
    const auto before = Names(tracks);

    auto client = server.LoggedIn("eve");
    client->WriteLine("WriteVT=take.wav");
    client->WriteLine("200000");
    ASSERT_EQ(client->ReadLine(), "OK");
    client->Write(Pattern(100000, 'n'));
    // Killed with half the bytes on their way to the disk.
    std::this_thread::sleep_for(300ms);
    server.process->Signal(SIGKILL);
    ASSERT_TRUE(server.process->WaitExit(10s).has_value());
    EXPECT_EQ(FileBytes(tracks / "take.wav"), previous);

    auto restarted = RunHeadlessServer(server.demo.RootArgument(), server.port);
    ASSERT_TRUE(restarted->WaitForOutput("Removed 1 unfinished upload(s) from ")) << restarted->Stdout();
    EXPECT_EQ(Names(tracks), before);
    EXPECT_EQ(FileBytes(tracks / "take.wav"), previous);
}

TEST(CrashSafety, AnUploadKilledAfterItsLastByteLeavesTheOldOrTheNewFile)
{
    PlaylistServer server({PlaylistAccount("eve")});
    const auto tracks = server.demo.CadmoraFolder() / "VoiceTracks";
    const std::string previous = Pattern(3u << 20, 'p');
    const std::string next = Pattern(3u << 20, 'n');
    PutFile(tracks / "take.wav", previous);

    auto client = server.LoggedIn("eve");
    client->WriteLine("WriteVT=take.wav");
    client->WriteLine(std::to_string(next.size()));
    ASSERT_EQ(client->ReadLine(), "OK");
    client->Write(next);
    server.process->Signal(SIGKILL);
    ASSERT_TRUE(server.process->WaitExit(10s).has_value());
    const std::string found = FileBytes(tracks / "take.wav");
    EXPECT_TRUE(found == previous || found == next) << "a mix of " << found.size() << " bytes";
}

TEST(CrashSafety, APlaylistBodyBeyondTheCapIsNotAccepted)
{
    PlaylistServer server({PlaylistAccount("eve")});
    auto client = server.LoggedIn("eve");
    client->WriteLine("WritePLG=");
    client->WriteLine(std::to_string((64u << 20) + 1));
    EXPECT_EQ(client->ReadLine(1s), std::nullopt);  // no "OK": the client sends nothing
    client->WriteLine("GetPLG=missing.plg");
    EXPECT_EQ(client->ReadLine(), "-1");
}

// The server, headless, inside a private mount namespace whose voice-track
// folder is a 2 MB tmpfs holding `previous` as take.wav.
std::unique_ptr<ServerProcess> ServerOnAFullDisk(const DemoInstallation& demo, std::uint16_t port,
                                                 const std::filesystem::path& previousFile)
{
    const auto tracks = demo.CadmoraFolder() / "VoiceTracks";
    const std::string script = "mount -t tmpfs -o size=2m zdfull '" + tracks.string() + "' && cp '"
        + previousFile.string() + "' '" + tracks.string() + "/take.wav' && exec '" + BuiltProgram("zodavizi")
        + "' --headless -a '" + demo.RootArgument() + "' --listen 127.0.0.1:" + std::to_string(port);
    return std::make_unique<ServerProcess>("/usr/bin/unshare",
                                           std::vector<std::string>{"--mount", "--propagation", "private",
                                                                    "/bin/sh", "-c", script});
}

TEST(CrashSafety, AFullDiskDuringAnUploadKeepsThePreviousFileAndTheServerRuns)
{
    if (::geteuid() != 0 || ::access("/usr/bin/unshare", X_OK) != 0)
        GTEST_SKIP() << "needs root and unshare for a private tmpfs";
    PlaylistServer setup({PlaylistAccount("eve")});
    setup.process.reset();
    const std::string previous = Pattern(500000, 'p');
    const auto previousFile = setup.demo.Prefix() / "previous.wav";
    PutFile(previousFile, previous);

    auto server = ServerOnAFullDisk(setup.demo, setup.port, previousFile);
    if (!server->WaitForPort(setup.port))
        GTEST_SKIP() << "no private tmpfs here: " << server->Stderr();
    // The server's own view of the folder, through its mount namespace.
    const auto tracks = std::filesystem::path("/proc") / std::to_string(server->Pid()) / "root"
        / std::filesystem::relative(setup.demo.CadmoraFolder() / "VoiceTracks", "/");

    RawClient client(setup.port);
    ASSERT_EQ(client.Login("eve", "pw"), "OK");
    const std::string next = Pattern(3u << 20, 'n');
    client.WriteLine("WriteVT=take.wav");
    client.WriteLine(std::to_string(next.size()));
    ASSERT_EQ(client.ReadLine(), "OK");
    client.Write(next);
    const auto reply = client.ReadLine(30s);
    ASSERT_TRUE(reply.has_value());
    EXPECT_THAT(*reply, HasSubstr("No space left on device"));
    EXPECT_EQ(FileBytes(tracks / "take.wav"), previous);
    EXPECT_EQ(Names(tracks), std::vector<std::string>{"take.wav"});
    client.WriteLine("GetPLG=missing.plg");  // the server runs on
    EXPECT_EQ(client.ReadLine(), "-1");
}

} // namespace
} // namespace zd::e2e

// Saving a 10,000-line playlist of 500 blocks of which 50 change, against a
// plain download of the same playlist, both over loopback in the same run.

#include "PlaylistBenchSupport.hpp"

#include "protocol/PlaylistTransfer.hpp"
#include "server/TUser.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <thread>

namespace zd::bench {
namespace {

constexpr int kBlocks = 500;
constexpr int kLinesPerBlock = 20; // the "B," line and 19 entries
constexpr int kChangedEvery = 10;  // every tenth block changes

std::string EntryLine(int block, int line, const char* tag)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s,C:\\Cadmora\\Music\\Artist %03d - Title %02d.mp3,03:%02d,%d,0,0,Rock,%d",
                  tag, block, line, line % 60, block * 100 + line, line);
    return text;
}

std::string Playlist()
{
    std::string text;
    for (int block = 0; block < kBlocks; ++block) {
        text += "B," + std::to_string(block) + ",06:00:00,Hour block\r\n";
        for (int line = 1; line < kLinesPerBlock; ++line)
            text += EntryLine(block, line, "S") + "\r\n";
    }
    return text;
}

std::string SaveBody()
{
    std::string body = "00-1bench.plg\r\n";
    int lines = 0;
    for (int block = 0; block < kBlocks; block += kChangedEvery) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%04d", block);
        for (int line = 1; line < kLinesPerBlock; ++line, ++lines)
            body += prefix + EntryLine(block, line, "V") + "\r\n";
    }
    return body + "9999" + std::to_string(lines) + "\r\n";
}

class PlaylistFixture {
public:
    PlaylistFixture() { std::ofstream(folder_.Folder() + "bench.plg", std::ios::binary) << Playlist(); }
    const std::string& Folder() const { return folderText_; }

private:
    BenchFolder folder_;
    std::string folderText_ = folder_.Folder();
};

void BM_DownloadPlaylist(benchmark::State& state)
{
    PlaylistFixture fixture;
    QuietHost host;
    const auto user = NewUser("bench");
    std::string received;
    for (auto _ : state) {
        LoopbackPair pair;
        auto connection = pair.TakeServer();
        std::thread client([&] {
            SendAll(pair.client, "OK\r\n");
            const auto size = std::stoul(ReceiveLine(pair.client));
            ReceiveExactly(pair.client, received, size);
        });
        GetPlaylist(host, *connection, *user, fixture.Folder(), "bench.plg");
        client.join();
    }
    state.counters["bytes"] = static_cast<double>(received.size());
}

void BM_SavePlaylist(benchmark::State& state)
{
    PlaylistFixture fixture;
    QuietHost host;
    const auto user = NewUser("bench");
    const std::string body = SaveBody();
    std::string reply;
    for (auto _ : state) {
        LoopbackPair pair;
        auto connection = pair.TakeServer();
        std::thread client([&] {
            SendAll(pair.client, std::to_string(body.size()) + "\r\n");
            ReceiveLine(pair.client);
            SendAll(pair.client, body);
            reply = ReceiveLine(pair.client);
        });
        WritePlaylist(host, *connection, *user, fixture.Folder());
        client.join();
        if (reply != "OK")
            state.SkipWithError(("save replied " + reply).c_str());
    }
    state.counters["body_bytes"] = static_cast<double>(body.size());
}

BENCHMARK(BM_DownloadPlaylist)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SavePlaylist)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
} // namespace zd::bench

BENCHMARK_MAIN();

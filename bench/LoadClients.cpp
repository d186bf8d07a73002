// Load on the real server: 40 logged-in clients on loopback, each looping
// "Settings", "GetPLG=" of its own playlist, "FileCheck=" of 50 files and a
// "WritePLG=" that replaces one block of its playlist, for 60 s. Every reply
// is checked (an error reply or a save that did not stick is counted and
// fails the run), the server's resident memory is sampled each second, and
// the median and 99th percentile of each command are printed.
//
// bench_LoadClients [SECONDS [CLIENTS]]  (defaults 60 and 40)

#include "../tests/e2e/DemoInstallation.hpp"
#include "../tests/e2e/RawClient.hpp"
#include "../tests/e2e/ServerProcess.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace zd::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kBlocks = 10;
constexpr int kLinesPerBlock = 40;
constexpr int kSavedBlock = 1;
constexpr std::size_t kCheckedFiles = 50;

// A client's playlist: head lines, then blocks that start with "B,".
struct Playlist {
    std::vector<std::vector<std::string>> blocks;

    static Playlist Initial(int client)
    {
        Playlist list;
        for (int b = 0; b < kBlocks; ++b) {
            std::vector<std::string> lines;
            for (int l = 0; l < kLinesPerBlock; ++l)
                lines.push_back("S," + std::to_string(client) + "," + std::to_string(b) + "," + std::to_string(l)
                                + ",C:\\Cadmora\\Music\\Song " + std::to_string(l) + ".mp3,215000,150,208000");
            list.blocks.push_back(std::move(lines));
        }
        return list;
    }

    std::string Text() const
    {
        std::string text = "Head line\r\nSecond head line\r\n";
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            text += "B," + std::to_string(b) + "\r\n";
            for (const auto& line : blocks[b])
                text += line + "\r\n";
        }
        return text;
    }
};

struct Results {
    std::mutex mutex;
    std::map<std::string, std::vector<double>> millis;  // per command
    std::map<std::string, int> errors;

    void Add(const std::string& command, Clock::duration took)
    {
        std::lock_guard lock(mutex);
        millis[command].push_back(std::chrono::duration<double, std::milli>(took).count());
    }
    void Error(const std::string& what)
    {
        std::lock_guard lock(mutex);
        if (++errors[what] <= 3)
            std::fprintf(stderr, "error: %s\n", what.c_str());
    }
};

std::size_t ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtoul(line.c_str() + 6, nullptr, 10);
    return 0;
}

// The number of lines the "Settings" reply has: 77 fixed lines, the colour
// file's lines, then the playlist count and names (read as they come).
std::size_t LineEnds(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class LoadClient {
public:
    LoadClient(int index, std::uint16_t port, const std::vector<std::string>& files, std::size_t colourLines,
               Results& results)
        : index_(index), name_("load-" + std::to_string(index) + ".plg"), playlist_(Playlist::Initial(index)),
          colourLines_(colourLines), results_(results), client_(port)
    {
        std::string list;
        for (std::size_t i = 0; i < kCheckedFiles; ++i)
            list += "\"" + files[i % files.size()] + "\",";
        checkList_ = list;
    }

    const std::string& Name() const { return name_; }
    std::string Expected() const { return playlist_.Text(); }

    bool Login() { return client_.Login("load" + std::to_string(index_), "pw") == "OK"; }

    void Loop(Clock::time_point until)
    {
        while (Clock::now() < until) {
            Timed("Settings", [this] { return Settings(); });
            Timed("GetPLG=", [this] { return GetPlaylist(); });
            Timed("FileCheck=", [this] { return FileCheck(); });
            Timed("WritePLG=", [this] { return SavePlaylist(); });
        }
    }

private:
    template <typename Step>
    void Timed(const std::string& command, Step step)
    {
        const auto start = Clock::now();
        const std::string error = step();
        results_.Add(command, Clock::now() - start);
        if (!error.empty())
            results_.Error(command + " " + name_ + ": " + error);
    }

    std::string Settings()
    {
        client_.WriteLine("Settings");
        std::size_t lines = 77 + colourLines_;
        for (std::size_t i = 0; i < lines; ++i)
            if (!client_.ReadLine())
                return "reply ended early";
        const auto count = client_.ReadLine();
        if (!count)
            return "no playlist count";
        for (long i = std::strtol(count->c_str(), nullptr, 10); i > 0; --i)
            if (!client_.ReadLine())
                return "playlist names ended early";
        return {};
    }

    std::string GetPlaylist()
    {
        client_.WriteLine("GetPLG=" + name_);
        const auto size = client_.ReadLine();
        if (!size || *size == "-1")
            return "reply " + size.value_or("<nothing>");
        client_.WriteLine("OK");
        const auto bytes = client_.ReadExact(std::strtoul(size->c_str(), nullptr, 10));
        if (!bytes)
            return "content did not arrive";
        if (*bytes != playlist_.Text())
            return "content is not the last save";
        return {};
    }

    std::string FileCheck()
    {
        client_.WriteLine("FileCheck=" + std::to_string(checkList_.size()));
        client_.WriteLine(checkList_);
        std::string error;
        for (std::size_t i = 0; i < kCheckedFiles; ++i) {
            const auto line = client_.ReadLine();
            if (!line)
                return "reply ended early";
            if (*line == "0,0,0,0")
                error = "a file was missing";
        }
        return error;
    }

    std::string SavePlaylist()
    {
        ++round_;
        std::vector<std::string> lines;
        for (int l = 0; l < kLinesPerBlock; ++l)
            lines.push_back("S,saved," + std::to_string(round_) + "," + std::to_string(l)
                            + ",C:\\Cadmora\\Music\\New " + std::to_string(l) + ".mp3,180000,0,170000");
        std::string body = "00-1" + name_ + "\r\n";
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%04d", kSavedBlock);
        for (const auto& line : lines)
            body += prefix + line + "\r\n";
        body += "9999" + std::to_string(lines.size()) + "\r\n";
        client_.WriteLine("WritePLG=");
        client_.WriteLine(std::to_string(body.size()));
        const auto ok = client_.ReadLine();
        if (ok != "OK")
            return "size answered " + ok.value_or("<nothing>");
        client_.Write(body);
        const auto reply = client_.ReadLine(30s);
        if (reply != "OK")
            return "reply " + reply.value_or("<nothing>");
        playlist_.blocks[kSavedBlock] = std::move(lines);
        return {};
    }

    int index_;
    std::string name_;
    Playlist playlist_;
    std::size_t colourLines_;
    Results& results_;
    e2e::RawClient client_;
    std::string checkList_;
    int round_ = 0;
};

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

int Run(int seconds, int clients)
{
    ::setenv("ZODAVIZI_UPNP", "off", 1);
    e2e::DemoInstallation demo;
    for (int i = 0; i < clients; ++i) {
        TUser account;
        account.Login = "load" + std::to_string(i);
        account.Password = "pw";
        demo.AddAccount(account);
        std::ofstream(demo.PlaylistFolder() / ("load-" + std::to_string(i) + ".plg"), std::ios::binary)
            << Playlist::Initial(i).Text();
    }
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(demo.MusicFolder()))
        if (entry.is_regular_file())
            files.push_back("C:\\Cadmora\\Music\\"
                            + std::filesystem::relative(entry.path(), demo.MusicFolder()).generic_string());
    for (auto& file : files) {
        std::replace(file.begin(), file.end(), '/', '\\');
        if (std::any_of(file.begin(), file.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            file = "\x7F" + file;  // UTF-8 names travel as marked text
    }
    if (files.empty()) {
        std::fprintf(stderr, "the demo has no music files\n");
        return 2;
    }
    std::ifstream colours(demo.DataFolder() / "colors.dat", std::ios::binary);
    const std::string colourText{std::istreambuf_iterator<char>(colours), {}};
    const std::size_t colourLines = colourText.empty() ? 1 : LineEnds(colourText);

    const std::uint16_t port = e2e::FreePort();
    auto server = e2e::RunHeadlessServer(demo.RootArgument(), port);
    Results results;
    std::vector<std::unique_ptr<LoadClient>> load;
    for (int i = 0; i < clients; ++i) {
        load.push_back(std::make_unique<LoadClient>(i, port, files, colourLines, results));
        if (!load.back()->Login()) {
            std::fprintf(stderr, "client %d could not log in\n", i);
            return 2;
        }
    }

    const auto start = Clock::now();
    const auto until = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (auto& client : load)
        threads.emplace_back([&client, until] { client->Loop(until); });
    std::vector<std::size_t> memory;  // KiB, one sample a second
    while (Clock::now() < until) {
        std::this_thread::sleep_for(1s);
        memory.push_back(ResidentKiB(server->Pid()));
    }
    for (auto& thread : threads)
        thread.join();

    // No lost save: each playlist on disk is the client's last saved one.
    int lost = 0;
    for (const auto& client : load) {
        std::ifstream in(demo.PlaylistFolder() / client->Name(), std::ios::binary);
        if (std::string{std::istreambuf_iterator<char>(in), {}} != client->Expected())
            ++lost;
    }

    std::printf("%d clients for %d s on loopback\n", clients, seconds);
    std::printf("%-11s %8s %10s %10s\n", "command", "count", "median ms", "p99 ms");
    for (const auto& [command, values] : results.millis)
        std::printf("%-11s %8zu %10.2f %10.2f\n", command.c_str(), values.size(), Percentile(values, 0.5),
                    Percentile(values, 0.99));
    int errors = 0;
    for (const auto& [what, count] : results.errors)
        errors += count;
    std::size_t atTen = memory.size() >= 10 ? memory[9] : (memory.empty() ? 0 : memory.back());
    std::size_t highest = 0;
    for (std::size_t i = std::min<std::size_t>(9, memory.size()); i < memory.size(); ++i)
        highest = std::max(highest, memory[i]);
    std::printf("error replies: %d, lost saves: %d\n", errors, lost);
    std::printf("server memory: %zu KiB at 10 s, highest after 10 s %zu KiB, at the end %zu KiB\n", atTen, highest,
                memory.empty() ? 0 : memory.back());
    return errors == 0 && lost == 0 ? 0 : 1;
}

} // namespace
} // namespace zd::bench

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 40;
    try {
        return zd::bench::Run(seconds > 0 ? seconds : 60, clients > 0 ? clients : 40);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_LoadClients: %s\n", error.what());
        return 2;
    }
}

// MP3 previews from the real program, checked from outside as a player
// would: the status line and head, the body's length, and what ffmpeg and
// ffprobe make of the body.

#include "DemoInstallation.hpp"
#include "PreviewClient.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"

#include "audio/tags/TAPETags.hpp"

#include "../support/AudioTools.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <future>
#include <map>
#include <regex>
#include <thread>

namespace zd::e2e {
namespace {

using namespace std::chrono_literals;
using namespace testsupport;
namespace fs = std::filesystem;

constexpr const char* kCredentials = "demo";
const std::string kPlayer = "User-Agent: Winamp/5.9\r\n";

TUser Account(const char* login, const char* password, const char* restrictIp = "", bool enabled = true)
{
    TUser user;
    user.Login = login;
    user.Password = password;
    user.RestrictIP = restrictIp;
    user.Enabled = enabled ? 1 : 0;
    return user;
}

// Writes the station's tag fields into a file, as the scheduler keeps them.
void Tag(const fs::path& file, std::initializer_list<std::pair<const char*, std::string>> fields)
{
    // A marked name: the demo's file names are UTF-8.
    TAPETags tags("\x7F" + file.string(), 3, TAPETags::ModeReadWrite);
    for (const auto& [name, value] : fields)
        tags.SetField(name, value);
    tags.WriteTags();
    if (!tags.Opened() || tags.Error())
        throw std::runtime_error("cannot tag " + file.string());
}

long ProbedMs(const fs::path& file)
{
    return std::lround(std::atof(Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 "
                                         + Quoted(file.string())).c_str()) * 1000);
}

// ffprobe's length in ms of each file of the demo's music, by its path below
// the music folder; probed once per build and kept beside the music.
std::map<std::string, long> DemoDurations()
{
    const fs::path music = DemoMusicCache();
    const fs::path list = music.parent_path() / "durations.txt";
    std::map<std::string, long> durations;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos)
            durations[line.substr(tab + 1)] = std::atol(line.c_str());
    }
    if (!durations.empty())
        return durations;
    const fs::path work = list.string() + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(work);
        for (const auto& entry : fs::recursive_directory_iterator(music)) {
            if (entry.is_regular_file()) {
                const std::string name = fs::relative(entry.path(), music).string();
                durations[name] = ProbedMs(entry.path());
                out << durations[name] << '\t' << name << '\n';
            }
        }
    }
    fs::rename(work, list);
    return durations;
}

// The target of a file below the installation: its marked Windows name with
// "/" for "\" and "%20" for spaces, then "?rg=1" when asked and ".mp3".
std::string Target(const fs::path& cadmora, const fs::path& file, bool replayGain = false)
{
    std::string name = "\x7F" "C:/Cadmora/" + fs::relative(file, cadmora).generic_string();
    std::string target;
    for (const char c : name)
        target += c == ' ' ? std::string("%20") : std::string(1, c);
    return target + (replayGain ? "?rg=1" : "") + ".mp3";
}

class Preview : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!HaveTool("ffmpeg") || !HaveTool("ffprobe"))
            return;
        demo_ = std::make_unique<DemoInstallation>();
        demo_->AddAccount(Account("off", "pw", "", false));
        demo_->AddAccount(Account("lan", "pw", "127.0.0.9"));
        const std::map<std::string, long> probed = DemoDurations();
        for (const auto& entry : fs::recursive_directory_iterator(demo_->MusicFolder())) {
            if (entry.is_regular_file()) {
                durations_[entry.path()] = probed.at(fs::relative(entry.path(), demo_->MusicFolder()).string());
                Tag(entry.path(), {{"Duration", std::to_string(durations_[entry.path()])}});
            }
        }
        const fs::path test = demo_->MusicFolder() / "Test";
        fs::create_directories(test);
        const auto make = [&](const char* name, bool made, std::initializer_list<std::pair<const char*, std::string>> fields) {
            if (!made)
                throw std::runtime_error(std::string("cannot make ") + name);
            Tag(test / name, fields);
        };
        // Three seconds of audio whose tag says three minutes.
        make("long.wav", MakeTone((test / "long.wav").string(), 3, "-c:a pcm_s16le"), {{"Duration", "180000"}});
        make("click.wav", MakeClick((test / "click.wav").string(), 22, 20 * 44100, "-c:a pcm_s16le"), {{"Duration", "22000"}});
        make("gain.wav", MakeTone((test / "gain.wav").string(), 2, "-c:a pcm_s16le -af volume=0.5"),
             {{"Duration", "2000"}, {"REPLAYGAIN_TRACK_GAIN", "-6.02 dB"}});
        make("unity.wav", MakeTone((test / "unity.wav").string(), 2, "-c:a pcm_s16le -af volume=0.5"),
             {{"Duration", "2000"}, {"REPLAYGAIN_TRACK_GAIN", "+0 dB"}});
        // Cheap to encode, and longer than the socket buffers hold.
        make("low.wav", MakeTone((test / "low.wav").string(), 30, "-c:a pcm_s16le", 8000, 1), {{"Duration", "30000"}});
        std::ofstream(test / "x.mpc", std::ios::binary) << std::string(4096, '\0');
        Tag(test / "x.mpc", {{"Duration", "5000"}});
        std::ofstream(test / "untagged.xyz", std::ios::binary) << std::string(4096, '\0');
        port_ = FreePort();
        server_ = RunHeadlessServer(demo_->RootArgument(), port_);
    }
    static void TearDownTestSuite()
    {
        server_.reset();
        demo_.reset();
    }
    void SetUp() override
    {
        if (!server_)
            GTEST_SKIP() << "ffmpeg or ffprobe missing";
    }

    static fs::path TestFile(const char* name) { return demo_->MusicFolder() / "Test" / name; }
    static std::string Target(const fs::path& file, bool replayGain = false)
    {
        return e2e::Target(demo_->CadmoraFolder(), file, replayGain);
    }

    // Requests the target and reads the head.
    static PreviewHead Ask(PreviewClient& client, const std::string& target, const std::string& headers,
                           const char* user = kCredentials, const char* password = kCredentials)
    {
        client.Request(target, (user ? PreviewClient::Credentials(user, password) : std::string()) + headers);
        return client.ReadHead();
    }

    // The whole body of a preview, written to a file in the folder.
    static std::string Fetch(const std::string& target, const std::string& headers, PreviewHead& head)
    {
        PreviewClient client(port_);
        head = Ask(client, target, headers);
        return client.ReadBody();
    }

    static std::size_t Count(const std::string& text)
    {
        const std::string log = server_->Stdout();
        std::size_t count = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    }

    static bool WaitForCount(const std::string& text, std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (Count(text) < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return Count(text) == count;
    }

    static std::string Save(const std::string& body, const char* name)
    {
        const std::string path = (demo_->Prefix() / name).string();
        std::ofstream(path, std::ios::binary) << body;
        return path;
    }

    static inline std::unique_ptr<DemoInstallation> demo_;
    static inline std::map<fs::path, long> durations_; // of the demo's music, by ffprobe
    static inline std::uint16_t port_ = 0;
    static inline std::unique_ptr<ServerProcess> server_;
};

// Every format of the demo library, for a player (the configured "64k
// mono") and a browser (always "48k mono"): the exact head, a body of the
// announced length, and MPEG layer III that ffmpeg decodes without error.
TEST_F(Preview, EveryFormatAsPlayerAndBrowser)
{
    struct Outcome {
        PreviewHead head;
        std::size_t bodySize = 0;
        ProbedAudio probed;
        std::string decodeErrors;
    };
    const auto preview = [](const fs::path& file, bool player, const std::string& saved) {
        Outcome outcome;
        const std::string body = Fetch(Target(file), player ? kPlayer : "", outcome.head);
        outcome.bodySize = body.size();
        const std::string path = Save(body, saved.c_str());
        outcome.probed = ProbeAudio(path);
        outcome.decodeErrors = Capture("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f null - 2>&1");
        return outcome;
    };
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(demo_->MusicFolder())) {
        if (!entry.is_regular_file() || entry.path().parent_path().filename() == "Test")
            continue;
        ++files;
        const long durationMs = durations_.at(entry.path());
        // The player's and the browser's preview of the file at once.
        auto player = std::async(std::launch::async, preview, entry.path(), true, "player.mp3");
        const Outcome browser = preview(entry.path(), false, "browser.mp3");
        for (const auto& [outcome, kbit] : {std::pair{player.get(), 64}, std::pair{browser, 48}}) {
            SCOPED_TRACE(entry.path().filename().string() + " at " + std::to_string(kbit));
            const long long full = (durationMs - 50) * kbit / 8;
            ASSERT_EQ(outcome.head.Status, "HTTP/1.1 200 OK");
            EXPECT_EQ(outcome.head.Headers, "Server: Vornelle ZO Davizi\r\nAccept-Ranges: bytes\r\n"
                                            "content-type: audio/mpeg\r\ncontent-length: " + std::to_string(full) + "\r\n");
            EXPECT_EQ(static_cast<long long>(outcome.bodySize), full);
            EXPECT_EQ(outcome.probed.Codec, "mp3");
            EXPECT_EQ(outcome.probed.Profile, "MP3 (MPEG audio layer 3)");
            EXPECT_EQ(outcome.probed.BitRate, kbit * 1000);
            EXPECT_EQ(outcome.probed.Channels, 1);
            EXPECT_EQ(outcome.decodeErrors, "");
        }
    }
    EXPECT_GE(files, 9);
}

// The lengths and answers of the request rules, on the wire.
TEST_F(Preview, LengthsAndAnswers)
{
    const std::string longWav = Target(TestFile("long.wav"));
    const std::string ok = "HTTP/1.1 200 OK";
    const std::string unsatisfiable = "HTTP/1.1 416 Requested Range Not Satisfiable";
    const std::string notFound = "HTTP/1.1 404 Not Found";
    const struct {
        std::string target;
        std::string headers;
        const char* user;
        const char* password;
        std::string status;
        long long contentLength;
    } cases[] = {
        {longWav, kPlayer + "Range: bytes=1000-\r\n", "demo", "demo", ok, 1439600 - 1000},
        {longWav, kPlayer + "Range: bytes=-1000\r\n", "demo", "demo", ok, 1000},
        {longWav, kPlayer + "Range: bytes=0-0\r\n", "DEMO", "demo", ok, 1439600},
        {longWav, kPlayer + "Range: milliseconds=30000-\r\n", "demo", "demo", ok, 1199600},
        {longWav, "Range: bytes=0-1000\r\n", "demo", "demo", ok, 1000},
        {longWav, kPlayer + "Range: bytes=1439601-\r\n", "demo", "demo", unsatisfiable, -1},
        {longWav, kPlayer + "Range: milliseconds=180000-\r\n", "demo", "demo", unsatisfiable, -1},
        {longWav, kPlayer + "Range: bytes=5000-100\r\n", "demo", "demo", unsatisfiable, -1},
        {longWav, kPlayer, nullptr, nullptr, "HTTP/1.1 401 Unauthorized", -1},
        {longWav, kPlayer, "demo", "DEMO", "HTTP/1.1 403 Forbidden", -1},
        {longWav, kPlayer, "off", "pw", "HTTP/1.1 403 Forbidden", -1},
        {longWav, kPlayer, "lan", "pw", "HTTP/1.1 403 Forbidden", -1},
        {Target(TestFile("missing.wav")), kPlayer, "demo", "demo", notFound, -1},
        {longWav.substr(0, longWav.size() - 4), kPlayer, "demo", "demo", notFound, -1},
        {Target(TestFile("untagged.xyz")), kPlayer, "demo", "demo", notFound, -1},
        {Target(TestFile("x.mpc")), kPlayer, "demo", "demo", "HTTP/1.1 500 Internal Server Error", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target + " " + c.headers);
        PreviewClient client(port_);
        const PreviewHead head = Ask(client, c.target, c.headers, c.user, c.password);
        EXPECT_EQ(head.Status, c.status);
        EXPECT_EQ(head.ContentLength, c.contentLength);
        if (c.contentLength < 0) {
            client.ReadBody();
            EXPECT_TRUE(client.ServerClosed());
        }
    }
    EXPECT_EQ(Count("Audio: Login attempt by user demo failed on IP 127.0.0.1."), 1u);
    EXPECT_EQ(Count("Audio: Login attempt by user off failed on IP 127.0.0.1."), 1u);
}

// A preview from 20000 ms of a file with a click at 20.000 s starts with the
// click: within one MP3 frame once decoded.
TEST_F(Preview, SeekingIsExact)
{
    PreviewHead head;
    const std::string body = Fetch(Target(TestFile("click.wav")), kPlayer + "Range: milliseconds=20000-\r\n", head);
    ASSERT_EQ(head.Status, "HTTP/1.1 200 OK");
    const auto samples = DecodeWithFfmpeg(Save(body, "click.mp3"), 1);
    ASSERT_GT(samples.size(), 44100u);
    const auto loudest = std::max_element(samples.begin(), samples.end(),
                                          [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); });
    EXPECT_GT(std::abs(*loudest), 5000);
    EXPECT_LE(loudest - samples.begin(), 1152);
}

double Rms(const std::vector<std::int16_t>& samples)
{
    double sum = 0;
    // The middle, away from the encoder's start and end.
    const std::size_t from = samples.size() / 4, to = samples.size() * 3 / 4;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// "-6.02 dB" halves the decoded amplitude; "+0 dB", and the same file
// without "?rg=1", leave it as it is.
TEST_F(Preview, ReplayGain)
{
    PreviewHead head;
    const double plain = Rms(DecodeWithFfmpeg(Save(Fetch(Target(TestFile("gain.wav")), kPlayer, head), "a.mp3"), 1));
    const double halved = Rms(DecodeWithFfmpeg(Save(Fetch(Target(TestFile("gain.wav"), true), kPlayer, head), "b.mp3"), 1));
    const double unity = Rms(DecodeWithFfmpeg(Save(Fetch(Target(TestFile("unity.wav"), true), kPlayer, head), "c.mp3"), 1));
    ASSERT_GT(plain, 500);
    EXPECT_NEAR(halved / plain, 0.5, 0.005);
    EXPECT_NEAR(unity / plain, 1.0, 0.005);
}

// A body shorter than announced ends about 4 s after its last byte with the
// connection closed; the stream's close runs once.
TEST_F(Preview, ShortAudioEndsFourSecondsAfterTheLastByte)
{
    PreviewClient client(port_);
    const PreviewHead head = Ask(client, Target(TestFile("long.wav")), kPlayer);
    ASSERT_EQ(head.ContentLength, 1439600);
    const std::string body = client.ReadBody(std::string::npos, 20s);
    ASSERT_TRUE(client.ServerClosed());
    EXPECT_GT(body.size(), 20000u);
    EXPECT_LT(body.size(), 30000u);
    const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(client.ClosedAt() - client.LastByteAt());
    EXPECT_GE(quiet.count(), 3800);
    EXPECT_LE(quiet.count(), 6000);
}

// The 52nd concurrent stream gets 503; once one ends, the next request gets
// the lowest free slot. The clients do not read, so each stream waits in a
// write until its client goes.
TEST_F(Preview, FiftyOneSlots)
{
    constexpr int kSmallWindow = 4096;
    std::vector<std::unique_ptr<PreviewClient>> clients;
    for (int i = 0; i < 51; ++i) {
        clients.push_back(std::make_unique<PreviewClient>(port_, kSmallWindow));
        ASSERT_EQ(Ask(*clients.back(), Target(TestFile("low.wav")), kPlayer).Status, "HTTP/1.1 200 OK") << i;
    }
    PreviewClient refused(port_);
    EXPECT_EQ(Ask(refused, Target(TestFile("low.wav")), kPlayer).Status, "HTTP/1.1 503 Service Unavailable");
    EXPECT_TRUE(WaitForCount("Audio: No players available for user demo", 1));
    const std::string connected7 = "Audio Stream 7: User demo connected";
    const std::string closing7 = "Audio Stream 7: User demo closing stream";
    const std::size_t connected = Count(connected7), closed = Count(closing7);
    clients[7]->Close();
    ASSERT_TRUE(WaitForCount(closing7, closed + 1));
    PreviewClient next(port_);
    EXPECT_EQ(Ask(next, Target(TestFile("low.wav")), kPlayer + "Range: bytes=0-1000\r\n").Status, "HTTP/1.1 200 OK");
    EXPECT_EQ(next.ReadBody().size(), 1000u);
    EXPECT_EQ(Count(connected7), connected + 1);
    clients.clear();
    EXPECT_TRUE(WaitForCount("Audio Stream 50: User demo closing stream", Count("Audio Stream 50: User demo connected")));
}

// The slot number of the newest stream of demo, from the log.
std::string NewestSlot(const std::string& log)
{
    static const std::regex connected("Audio Stream ([0-9]+): User demo connected");
    std::string slot;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), connected); it != std::sregex_iterator(); ++it)
        slot = (*it)[1];
    return slot;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool WaitForFile(const fs::path& path, const std::string& content)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ReadAll(path) != content && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return ReadAll(path) == content;
}

std::string Utf16(const std::string& ascii)
{
    std::string wide;
    for (const char c : ascii)
        wide += std::string(1, c) + '\0';
    return wide;
}

// A client that goes away after 1 s, and the end of the user's command
// session, each end the stream once: "closing stream" is logged once, the
// slot is freed and the entry leaves the connected-users file.
TEST_F(Preview, StreamsEndWhenTheClientOrTheSessionGoes)
{
    const fs::path users = demo_->ConnectedUsersFile();
    ASSERT_TRUE(WaitForFile(users, "\xFF\xFE"));
    {
        PreviewClient client(port_);
        ASSERT_EQ(Ask(client, Target(TestFile("click.wav")), kPlayer).Status, "HTTP/1.1 200 OK");
        const std::string slot = NewestSlot(server_->Stdout());
        const std::string closing = "Audio Stream " + slot + ": User demo closing stream";
        const std::size_t closed = Count(closing);
        EXPECT_TRUE(WaitForFile(users, "\xFF\xFE" + Utf16("Audio: demo - Stream " + slot + "\r\n")));
        client.ReadBody(std::string::npos, 1s);
        EXPECT_FALSE(client.ServerClosed());
        client.Close();
        EXPECT_TRUE(WaitForCount(closing, closed + 1));
        EXPECT_TRUE(WaitForFile(users, "\xFF\xFE"));
    }
    {
        auto session = std::make_unique<RawClient>(port_);
        ASSERT_EQ(session->Login("demo", "demo"), "OK");
        PreviewClient client(port_);
        ASSERT_EQ(Ask(client, Target(TestFile("click.wav")), kPlayer).Status, "HTTP/1.1 200 OK");
        const std::string slot = NewestSlot(server_->Stdout());
        const std::string closing = "Audio Stream " + slot + ": User demo closing stream";
        const std::size_t closed = Count(closing);
        client.ReadBody(20000);
        session.reset();
        client.ReadBody(std::string::npos, 10s);
        EXPECT_TRUE(client.ServerClosed());
        EXPECT_TRUE(WaitForCount(closing, closed + 1));
        EXPECT_TRUE(WaitForFile(users, "\xFF\xFE"));
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Count("timeout warning closing stream"), 0u);
}

long ResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// 200 previews opened and closed one after another leave the server's
// memory where it was.
TEST_F(Preview, RepeatedPreviewsLeaveMemoryFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer holds freed memory back";
#endif
    const auto one = [] {
        PreviewClient client(port_);
        const PreviewHead head = Ask(client, Target(TestFile("gain.wav")), kPlayer + "Range: bytes=0-4000\r\n");
        return head.Status == "HTTP/1.1 200 OK" && client.ReadBody().size() == 4000 && client.ServerClosed();
    };
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(one());
    const long before = ResidentKb(server_->Pid());
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(one()) << i;
    const long after = ResidentKb(server_->Pid());
    EXPECT_LE(after, before * 105 / 100) << before << " kB before, " << after << " kB after";
}

} // namespace
} // namespace zd::e2e

// The file commands of the real program on a copy of the demo installation:
// existence, marker lines, hints, scheduling history and tag writes, with
// the audio files made here and named as the station's computer names them.

#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"
#include "audio/TagTestFiles.hpp"

#include "audio/tags/TAPETags.hpp"
#include "common/DosTime.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace zd::e2e {
namespace {

using namespace testdata;

constexpr const char* kFolder = "C:\\Cadmora\\Audio\\";
constexpr std::uint32_t kNewest = 0x5B8A6000; // 2025-12-10 12:00:00
constexpr std::uint32_t kDay = 0x10000;

std::string Name(const std::string& file) { return kFolder + file; }

std::string History(std::uint32_t newest)
{
    Bytes b;
    for (std::uint32_t i = 0; i < 18; ++i)
        PutLE32(b, newest - i * kDay);
    return AsText(b);
}

class FileQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        demo = std::make_unique<DemoInstallation>();
        audio = demo->CadmoraFolder() / "Audio";
        std::filesystem::create_directories(audio);
        Make("fresh.mp3", 3, {{"Duration", "215000"}, {"Cue", "150"}, {"Segue", "208000"}, {"Intro", "12000"}});
        Make("no intro.mp3", 3, {{"Duration", "1000"}, {"Cue", "10"}, {"Segue", "900"}});
        Make("old.mp3", 30, {{"Duration", "5000"}, {"Intro", "1"}});
        Make("history.mp3", 40, {{"Title", "T"}, {"Artist", "A"}, {"XLastScheduled", History(kNewest)}});
        Make("notes.txt", 40, {{"XLastScheduled", History(kNewest)}});
        Make("vt.mp3", 40, {{"Title", "T"}, {"Artist", "A"}, {"Rating", "4"}, {"XLastScheduled", History(kNewest)}});
        port = FreePort();
        server = RunHeadlessServer(demo->RootArgument(), port);
    }
    static void TearDownTestSuite()
    {
        server.reset();
        demo.reset();
    }

    static void Make(const std::string& file, int daysOld, std::initializer_list<std::pair<std::string, std::string>> fields)
    {
        WriteTaggedMp3((audio / file).string(), 6, daysOld, fields);
    }

    static std::string Path(const std::string& file) { return (audio / file).string(); }

    std::unique_ptr<RawClient> LoggedIn()
    {
        auto client = std::make_unique<RawClient>(port);
        EXPECT_EQ(client->Login("demo", "demo"), "OK");
        return client;
    }

    // Reads reply lines up to and including the "0" of an existence query
    // sent after the command: the command's own reply has no end mark.
    static std::vector<std::string> LinesBeforeSync(RawClient& client)
    {
        client.WriteLine("Exists=" + Name("missing.mp3"));
        std::vector<std::string> lines;
        for (;;) {
            auto line = client.ReadLine();
            if (!line)
                return {"<time-out>"};
            if (*line == "0")
                return lines;
            lines.push_back(*line);
        }
    }

    static inline std::unique_ptr<DemoInstallation> demo;
    static inline std::unique_ptr<ServerProcess> server;
    static inline std::filesystem::path audio;
    static inline std::uint16_t port = 0;
};

TEST_F(FileQueries, ExistsNamesFilesNotFolders)
{
    auto client = LoggedIn();
    const std::pair<std::string, std::string> cases[] = {
        {"Exists=" + Name("fresh.mp3"), "1"},
        {"EXISTS=c:\\cadmora\\audio\\FRESH.MP3", "1"},
        {"Exists=C:\\Cadmora\\Audio", "0"},
        {"Exists=" + Name("missing.mp3"), "0"},
    };
    for (const auto& [command, reply] : cases) {
        client->WriteLine(command);
        EXPECT_EQ(client->ReadLine(), reply) << command;
    }
}

TEST_F(FileQueries, FileCheckAnswersEachListedFile)
{
    auto client = LoggedIn();
    const std::string withComma = Name("fresh.mp3") + "," + Name("old.mp3") + "," + Name("missing.mp3") + ",\""
        + Name("no intro.mp3") + "\",";
    client->WriteLine("FileCheck=" + std::to_string(withComma.size()));
    client->WriteLine(withComma);
    EXPECT_EQ(LinesBeforeSync(*client),
        (std::vector<std::string>{"215000,150,208000,12000", "", "0,0,0,0", "1000,10,900,-1"}));

    const std::string withoutComma = Name("fresh.mp3") + "," + Name("old.mp3");
    client->WriteLine("FileCheck=" + std::to_string(withoutComma.size()));
    client->WriteLine(withoutComma);
    EXPECT_EQ(LinesBeforeSync(*client), (std::vector<std::string>{"215000,150,208000,12000"}));

    client->WriteLine("FileCheck=0");
    EXPECT_EQ(LinesBeforeSync(*client), (std::vector<std::string>{})) << "no list is read";
}

TEST_F(FileQueries, FileCheckRefusesALongerListLine)
{
    auto client = LoggedIn();
    client->WriteLine("FileCheck=5");
    client->WriteLine(Name("fresh.mp3") + ",");
    EXPECT_TRUE(client->ServerClosed());
}

TEST_F(FileQueries, FileHintIsACountedText)
{
    auto client = LoggedIn();
    client->WriteLine("FileHint=" + Name("history.mp3"));
    const auto count = client->ReadLine();
    ASSERT_TRUE(count);
    const std::size_t size = std::stoul(*count);
    std::string text;
    client->WriteLine("Exists=" + Name("missing.mp3"));
    while (text.size() < size + 1) {
        const auto line = client->ReadLine();
        ASSERT_TRUE(line);
        text += (text.empty() ? "" : "\r\n") + *line;
    }
    EXPECT_EQ(text.substr(size), "0") << "nothing beyond the counted bytes";
    const std::string hint = text.substr(0, size);
    EXPECT_NE(hint.find("Last Scheduled: \r\n      "), std::string::npos) << hint;
    EXPECT_NE(hint.find("Filename:     " + Name("history.mp3")), std::string::npos) << hint;

    client->WriteLine("FileHint=" + Name("missing.mp3"));
    EXPECT_EQ(client->ReadLine(), "0");
}

TEST_F(FileQueries, ScheduledKeepsTheHistory)
{
    auto client = LoggedIn();
    const std::string file = Name("history.mp3");
    const auto history = [&] { return TAPETags(Path("history.mp3"), 1, TAPETags::ModeRead).GetField("XLastScheduled"); };
    const long long written = WriteTimeNs(Path("history.mp3"));

    client->WriteLine("Scheduled=1," + std::to_string(kNewest - 30 * kDay) + "," + file);
    EXPECT_TRUE(LinesBeforeSync(*client).empty());
    EXPECT_EQ(history(), History(kNewest)) << "older than a full history: unchanged";

    client->WriteLine("Scheduled=1," + std::to_string(kNewest + kDay) + ",\"" + file + "\"");
    EXPECT_TRUE(LinesBeforeSync(*client).empty());
    EXPECT_EQ(history(), History(kNewest + kDay));

    client->WriteLine("Scheduled=2," + std::to_string(kNewest + kDay + 3000) + "," + file);
    LinesBeforeSync(*client);
    EXPECT_EQ(history(), History(kNewest + kDay)) << "nothing within an hour";

    client->WriteLine("Scheduled=2," + std::to_string(kNewest + kDay + 100) + "," + file);
    LinesBeforeSync(*client);
    EXPECT_EQ(history().substr(0, 68), History(kNewest).substr(0, 68));
    EXPECT_EQ(history().substr(68), std::string("\0\0\x21\0", 4));
    EXPECT_EQ(WriteTimeNs(Path("history.mp3")), written) << "the file still looks unchanged";

    const std::string notes = AsText(ReadFile(Path("notes.txt")));
    client->WriteLine("Scheduled=1," + std::to_string(kNewest + kDay) + "," + Name("notes.txt"));
    LinesBeforeSync(*client);
    EXPECT_EQ(AsText(ReadFile(Path("notes.txt"))), notes) << "not an audio file";
}

TEST_F(FileQueries, WriteTagRepliesOkOnlyForWrittenAudioFiles)
{
    auto client = LoggedIn();
    const std::string notes = AsText(ReadFile(Path("notes.txt")));
    const std::pair<std::string, std::string> cases[] = {
        {Name("fresh.mp3") + "\x1F" "Mood\x1F" "Happy", "OK"},
        {Name("fresh.mp3") + "\x1F" "Mood\x1F", "Fail"},
        {Name("notes.txt") + "\x1F" "Mood\x1F" "Happy", "Fail"},
        {Name("missing.mp3") + "\x1F" "Mood\x1F" "Happy", "Fail"},
        {Name("fresh.mp3") + "\x1F" "Mood", "Fail"},
        {Name("fresh.mp3") + "\x1F" "Stimmung\xE4\x1F" "x", "Fail"},
        {Name("fresh.mp3") + "\x1F" + std::string(256, 'k') + "\x1F" "x", "Fail"},
    };
    for (const auto& [argument, reply] : cases) {
        client->WriteLine("WriteTag=" + argument);
        EXPECT_EQ(client->ReadLine(), reply) << argument;
    }
    EXPECT_EQ(TAPETags(Path("fresh.mp3"), 1, TAPETags::ModeRead).GetField("Mood"), "Happy");
    EXPECT_EQ(AsText(ReadFile(Path("notes.txt"))), notes);
    EXPECT_FALSE(std::filesystem::exists(Path("missing.mp3")));

    client->WriteLine("WriteTag=" + Name("fresh.mp3") + "\x1F" "A\x1F" "x");
    EXPECT_TRUE(client->ServerClosed()) << "a 1-character tag name ends the connection";
}

TEST_F(FileQueries, VtclientSubcommands)
{
    const std::string command = BuiltProgram("vtclient") + " --port " + std::to_string(port)
        + " --user demo --password demo exists '" + Name("vt.mp3") + "' write-tag '" + Name("vt.mp3")
        + "' Client Acme file-check '" + Name("fresh.mp3") + "|" + Name("missing.mp3") + "' file-hint '"
        + Name("vt.mp3") + "' scheduled add '2026-01-05 10:00:00' '" + Name("vt.mp3") + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
        output.append(chunk, n);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    const std::string head = "OK\n1\nOK\n" + Name("fresh.mp3") + ": 215000,150,208000,12000\n" + Name("missing.mp3")
        + ": 0,0,0,0\nClient:       Acme\nRating:       4\nLast Scheduled: \n      ";
    const std::string tail = "\nFilename:     " + Name("vt.mp3") + "\nsent\n";
    EXPECT_TRUE(output.starts_with(head)) << output;
    EXPECT_TRUE(output.ends_with(tail)) << output;
    const std::string history = TAPETags(Path("vt.mp3"), 1, TAPETags::ModeRead).GetField("XLastScheduled");
    ASSERT_EQ(history.size(), 72u);
    EXPECT_EQ(static_cast<std::uint32_t>(static_cast<unsigned char>(history[0]) | static_cast<unsigned char>(history[1]) << 8
                  | static_cast<unsigned char>(history[2]) << 16 | static_cast<unsigned char>(history[3]) << 24),
        static_cast<std::uint32_t>(PackDosDateTime(2026, 1, 5, 10, 0, 0)));
}

} // namespace
} // namespace zd::e2e

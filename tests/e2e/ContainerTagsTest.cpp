// "FileCheck=" and "FileHint=" of the real program on files tagged by
// mutagen: the containers' own tags reach the client through the tag store.

#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"
#include "audio/MutagenFiles.hpp"

#include <gtest/gtest.h>

namespace zd::e2e {
namespace {

using namespace testdata;

std::string Name(const std::string& file) { return "C:\\Cadmora\\Audio\\" + file; }

class ContainerTags : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!HaveTool("sox") || !HaveTool("lame") || !HaveTool("ffmpeg") || !HaveMutagen())
            return;
        demo = std::make_unique<DemoInstallation>();
        const auto audio = demo->CadmoraFolder() / "Audio";
        std::filesystem::create_directories(audio);
        made = MakeMutagenFiles(audio);
        port = FreePort();
        server = RunHeadlessServer(demo->RootArgument(), port);
    }
    static void TearDownTestSuite()
    {
        server.reset();
        demo.reset();
    }

    void SetUp() override
    {
        if (!demo)
            GTEST_SKIP() << "sox, lame, ffmpeg or python3-mutagen missing";
        ASSERT_TRUE(made);
        client = std::make_unique<RawClient>(port);
        ASSERT_EQ(client->Login("demo", "demo"), "OK");
    }

    // The reply lines up to the "0" of an existence query sent after the command.
    std::vector<std::string> LinesBeforeSync()
    {
        client->WriteLine("Exists=" + Name("missing.mp3"));
        std::vector<std::string> lines;
        for (;;) {
            auto line = client->ReadLine();
            if (!line || *line == "0")
                return lines;
            lines.push_back(*line);
        }
    }

    std::string Hint(const std::string& file)
    {
        client->WriteLine("FileHint=" + Name(file));
        const auto count = client->ReadLine();
        if (!count)
            return "<time-out>";
        // The counted text has no line end of its own: an existence query
        // after it ends its last line.
        const std::size_t size = std::stoul(*count);
        client->WriteLine("Exists=" + Name("missing.mp3"));
        std::string text;
        while (text.size() < size + 1) {
            const auto line = client->ReadLine();
            if (!line)
                return "<time-out>";
            text += (text.empty() ? "" : "\r\n") + *line;
        }
        return text.substr(0, size);
    }

    static inline std::unique_ptr<DemoInstallation> demo;
    static inline std::unique_ptr<ServerProcess> server;
    static inline std::uint16_t port = 0;
    static inline bool made = false;
    std::unique_ptr<RawClient> client;
};

TEST_F(ContainerTags, FileCheckGivesLengthsAndImportedMarkers)
{
    const std::string list =
        Name("flac.flac") + "," + Name("opus.opus") + "," + Name("aac.m4a") + "," + Name("wma.wma") + ",";
    client->WriteLine("FileCheck=" + std::to_string(list.size()));
    client->WriteLine(list);
    const std::vector<std::string> lines = LinesBeforeSync();
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const std::string duration = lines[i].substr(0, lines[i].find(','));
        EXPECT_NEAR(std::stoi(duration), 600, 60);
        EXPECT_EQ(lines[i].substr(duration.size()), i < 2 ? ",,,12000" : ",,,-1");
    }
}

TEST_F(ContainerTags, FileHintShowsTheImportedTags)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"v23.mp3", {"Plain Album", "1999", "Wide comment \xC3\xA9"}},
        {"flac.flac", {"Medium-Fast"}},
        {"aac.m4a", {"2021", "MP4 comment"}},
        {"wma.wma", {"WMA Album", "1998", "WMA description"}},
    };
    for (const auto& [file, parts] : cases) {
        const std::string hint = Hint(file);
        for (const auto& part : parts)
            EXPECT_NE(hint.find(part), std::string::npos) << file << ": " << part << " in\n" << hint;
    }
}

} // namespace
} // namespace zd::e2e

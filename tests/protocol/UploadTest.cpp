#include "PlaylistTestSupport.hpp"

#include "audio/TVRNFileStream.hpp"
#include "protocol/Upload.hpp"
#include "audio/TempFiles.hpp"

#include <gmock/gmock.h>

#include <thread>

namespace zd::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

struct UploadCase {
    const char* what;
    bool previous;         // "take.wav" exists before
    std::string sent;      // after the command line
    bool endSending;       // the client goes away after sending
    std::string wire;      // what the server answers
    std::string content;   // "take.wav" afterwards ("" = absent)
    std::string logStart;  // the log line begins so ("" = nothing logged)
};

void PrintTo(const UploadCase& c, std::ostream* os) { *os << c.what; }

const std::string kPrevious = "previous take";

class UploadCases : public CommandExchangeCases<UploadCase> {};

TEST_P(UploadCases, ResultAndFilesAfterwards)
{
    const auto& param = GetParam();
    if (param.previous)
        folder.Write("take.wav", kPrevious);
    pair.Send(param.sent);
    if (param.endSending)
        pair.EndSending();

    ReceiveUpload(host, *pair.server, *user, folder.Folder(), "take.wav");

    EXPECT_EQ(pair.server->ReadTimeout(), Connection::kDefaultReadTimeout);
    EXPECT_EQ(pair.ReceiveAll(), param.wire);
    EXPECT_EQ(folder.Exists("take.wav"), !param.content.empty());
    if (!param.content.empty()) {
        EXPECT_EQ(folder.Read("take.wav"), param.content);
    }
    EXPECT_EQ(folder.Names(), param.content.empty() ? std::vector<std::string>{} : std::vector<std::string>{"take.wav"});
    if (param.logStart.empty()) {
        EXPECT_THAT(host.Lines(), IsEmpty());
    } else {
        ASSERT_EQ(host.Lines().size(), 1u);
        EXPECT_THAT(host.Lines()[0], StartsWith(param.logStart));
    }
}

const std::string kFailed = "User bob attempt to save ";

class Upload : public CommandExchange {
protected:
    // Starts the upload of name in a thread and returns once its first
    // bytes are in and the "OK" is out: the upload then holds its target.
    std::thread UploadUnderWay(const std::string& name)
    {
        pair.Send("10\r\nhalf");
        std::thread upload([this, name] { ReceiveUpload(host, *pair.server, *user, folder.Folder(), name); });
        char ok[4] = {};
        EXPECT_EQ(::recv(pair.ClientFd(), ok, sizeof ok, MSG_WAITALL), 4);
        EXPECT_EQ(std::string(ok, 4), "OK\r\n");
        return upload;
    }

    // The reply to an upload whose complete file cannot replace the
    // previous one, and that file, alone and unchanged.
    void ExpectRenameRefusedAndKept(const std::string& name)
    {
        EXPECT_THAT(pair.ReceiveAll(), StartsWith("OK\r\nCannot rename file"));
        EXPECT_EQ(folder.Read(name), kPrevious);
        EXPECT_THAT(folder.Names(), ElementsAre(name));
    }
};

INSTANTIATE_TEST_SUITE_P(
    Exchanges, UploadCases,
    ::testing::Values(
        UploadCase{"a new file", false, "5\r\nhello", false, "OK\r\nOK\r\n", "hello", "User bob saved take.wav"},
        UploadCase{"over a previous file", true, "5\r\nhello", false, "OK\r\nOK\r\n", "hello",
                   "User bob saved take.wav"},
        UploadCase{"dropped half-way over a previous file", true, "10\r\nhalf", true, "OK\r\n0\r\n",
                   kPrevious, kFailed},
        UploadCase{"dropped half-way, new name", false, "10\r\nhalf", true, "OK\r\n0\r\n", "", kFailed},
        UploadCase{"count zero", true, "0\r\nhello", false, "", kPrevious, ""},
        UploadCase{"negative count", true, "-5\r\nhello", false, "", kPrevious, ""},
        UploadCase{"count not a number", true, "5x\r\nhello", false, "", kPrevious, ""}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(Upload, FailureLogLineNamesPathCountsAndResult)
{
    pair.Send("10\r\nhalf");
    pair.EndSending();

    ReceiveUpload(host, *pair.server, *user, folder.Folder(), "take.wav");

    EXPECT_THAT(host.Lines(), ElementsAre(kFailed + folder.Folder() + "take.wav failed.10/4\r\n     0"));
}

TEST_F(Upload, NamesOutsideTheFolderAreRefusedAndNothingIsWritten)
{
    std::filesystem::create_directories(folder.File("vt"));
    folder.Write("x.wav", "outside");
    const std::string vt = folder.File("vt") + "/";
    for (const std::string name : {"..\\x.wav", "../x.wav", "a/b.wav", "c:x.wav", "..", ".", "",
                                   "\x7F..", "sub\\..\\..\\x.wav"}) {
        SCOPED_TRACE(name);
        RecordingHost nameHost;
        SocketPair namePair;
        namePair.Send("7\r\n");

        ReceiveUpload(nameHost, *namePair.server, *user, vt, name);

        EXPECT_EQ(namePair.ReceiveAll(), "Invalid file name\r\n");
        EXPECT_THAT(nameHost.Lines(), ElementsAre(kFailed + UploadTargetPath(vt, name)
                                                  + " failed.-1/0\r\n     Invalid file name"));
        EXPECT_THAT(folder.Names(), ElementsAre("vt", "x.wav"));
        EXPECT_TRUE(std::filesystem::is_empty(folder.File("vt")));
        EXPECT_EQ(folder.Read("x.wav"), "outside");
    }
}

TEST_F(Upload, LargeFileStreamsIntact)
{
    folder.Write("big.wav", kPrevious);
    const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
    std::thread client([&] { pair.Send(std::to_string(bytes.size()) + "\r\n" + bytes); });

    ReceiveUpload(host, *pair.server, *user, folder.Folder(), "big.wav");
    client.join();

    EXPECT_EQ(pair.ReceiveAll(), "OK\r\nOK\r\n");
    EXPECT_TRUE(folder.Read("big.wav") == bytes);
    EXPECT_THAT(folder.Names(), ElementsAre("big.wav"));
}

TEST_F(Upload, TargetThatCannotBeCreatedRepliesTheFileError)
{
    pair.Send("5\r\n");

    ReceiveUpload(host, *pair.server, *user, folder.File("missing") + "/", "take.wav");

    const std::string wire = pair.ReceiveAll();
    ASSERT_THAT(wire, ::testing::EndsWith("\r\n"));
    const std::string reply = wire.substr(0, wire.size() - 2);
    EXPECT_THAT(reply, HasSubstr("take.wav"));
    EXPECT_THAT(reply, ::testing::Not(HasSubstr("\r\n")));
    EXPECT_THAT(host.Lines(), ElementsAre(kFailed + folder.File("missing") + "/take.wav failed.-1/0\r\n     " + reply));
    EXPECT_FALSE(std::filesystem::exists(folder.File("missing")));
}

TEST_F(Upload, PreviousFileHeldByAnotherProgramIsKept)
{
    folder.Write("take.wav", kPrevious);
    TVRNFileStream playing(folder.File("take.wav"), kOpenRead | kShareExclusive);
    pair.Send("5\r\nhello");

    ReceiveUpload(host, *pair.server, *user, folder.Folder(), "take.wav");

    ExpectRenameRefusedAndKept("take.wav");
}

TEST_F(Upload, SecondUploadToATargetBeingWrittenIsRefused)
{
    folder.Write("take.wav", kPrevious);
    std::thread upload = UploadUnderWay("take.wav");

    SocketPair second;
    second.Send("5\r\n");
    ReceiveUpload(host, *second.server, *user, folder.Folder(), "TAKE.wav");
    EXPECT_EQ(second.ReceiveAll(), std::string(kFileInUseText) + "\r\n");

    pair.Send("-rest!");
    upload.join();
    EXPECT_EQ(pair.ReceiveAll(), "OK\r\n");
    EXPECT_EQ(folder.Read("take.wav"), "half-rest!");
    EXPECT_THAT(folder.Names(), ElementsAre("take.wav"));
}

TEST_F(Upload, ThePreviousFileStaysUntilEveryByteIsOnTheDisk)
{
    folder.Write("take.wav", kPrevious);
    std::thread upload = UploadUnderWay("take.wav");
    EXPECT_EQ(folder.Read("take.wav"), kPrevious);
    EXPECT_THAT(folder.Names(), ElementsAre("take.wav", "take.wav.zdpart"));
    pair.Send("-rest!");
    upload.join();
    EXPECT_EQ(folder.Read("take.wav"), "half-rest!");
    EXPECT_THAT(folder.Names(), ElementsAre("take.wav"));
}

TEST_F(Upload, ANameLikeATemporaryFileIsRefused)
{
    pair.Send("5\r\nhello");
    ReceiveUpload(host, *pair.server, *user, folder.Folder(), "take.wav.ZDPART");
    EXPECT_EQ(pair.ReceiveAll(), "Invalid file name\r\n");
    EXPECT_THAT(folder.Names(), IsEmpty());
}

TEST(TempFiles, LeftoversAreRemovedAndNothingElse)
{
    TempFolder folder;
    for (const char* name : {"a.wav.zdpart", "b.WAV.ZDPART", "c.wav", "zdpart", ".zdpart"})
        folder.Write(name, "x");
    std::filesystem::create_directories(folder.File("d.zdpart"));
    EXPECT_EQ(RemoveTempFiles(folder.Folder()), 2);
    EXPECT_THAT(folder.Names(), ElementsAre(".zdpart", "c.wav", "d.zdpart", "zdpart"));
}

} // namespace
} // namespace zd::testing

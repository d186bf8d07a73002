#include "PlaylistTestSupport.hpp"

#include "audio/TVRNFileStream.hpp"
#include "protocol/PlaylistTransfer.hpp"

#include <gmock/gmock.h>

#include <thread>

namespace zd::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kPlaylist = "H1\r\nB,a\r\na1\r\nB,b\r\nb1\r\n";
const PlaylistRetry kQuickRetry{2, std::chrono::milliseconds(10)};

struct DownloadCase {
    const char* what;
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.what; }
    std::string name;
    std::string answer;  // what the client sends after the size line
    std::string wire;    // what the server writes
    std::string logged;  // the log line ("" = nothing logged)
};

class PlaylistDownload : public CommandExchangeCases<DownloadCase> {};

TEST_P(PlaylistDownload, RepliesAsTheClientAnswers)
{
    const auto& param = GetParam();
    folder.Write("list.plg", kPlaylist);
    folder.Write("empty.plg", "");
    folder.Write("\xC3\xA9t\xC3\xA9.plg", "B,\xC3\xA9t\xC3\xA9\r\n");
    pair.Send(param.answer);

    GetPlaylist(host, *pair.server, *user, folder.Folder(), param.name, kQuickRetry);

    EXPECT_EQ(pair.ReceiveAll(), param.wire);
    if (!param.logged.empty())
        EXPECT_THAT(host.Lines(), ElementsAre(param.logged));
    else
        EXPECT_THAT(host.Lines(), IsEmpty());
    EXPECT_EQ(user->PlaylistStream, nullptr);
    EXPECT_EQ(folder.Read("list.plg"), kPlaylist);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PlaylistDownload,
    ::testing::Values(
        DownloadCase{"accepted", "list.plg", "OK\r\n", std::to_string(kPlaylist.size()) + "\r\n" + kPlaylist,
                     "User bob retrieving list.plg"},
        DownloadCase{"found by another letter case", "LIST.PLG", "OK\r\n", std::to_string(kPlaylist.size()) + "\r\n" + kPlaylist,
                     "User bob retrieving LIST.PLG"},
        DownloadCase{"a marked name", "\x7F" "\xC3\xA9t\xC3\xA9.plg", "OK\r\n", "9\r\nB,\xC3\xA9t\xC3\xA9\r\n",
                     "User bob retrieving \x7F" "\xC3\xA9t\xC3\xA9.plg"},
        DownloadCase{"ok in lower case is refused", "list.plg", "ok\r\n", std::to_string(kPlaylist.size()) + "\r\n-1\r\n", ""},
        DownloadCase{"missing playlist", "none.plg", "", "-1\r\n", ""},
        DownloadCase{"empty playlist", "empty.plg", "", "-1\r\n", ""},
        DownloadCase{"a name with a folder", "..\\list.plg", "", "-1\r\n",
                     "User bob attempt to modifiy ..\\list.plg failed.\r\n     Invalid file name"},
        DownloadCase{"a name with a drive", "c:list.plg", "", "-1\r\n",
                     "User bob attempt to modifiy c:list.plg failed.\r\n     Invalid file name"},
        DownloadCase{"not a playlist", "VTUsers.log", "", "-1\r\n",
                     "User bob attempt to modifiy VTUsers.log failed.\r\n     Invalid file name"},
        DownloadCase{"a backup", "list.bak", "", "-1\r\n",
                     "User bob attempt to modifiy list.bak failed.\r\n     Invalid file name"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

class PlaylistDownloadLock : public CommandExchange {};

TEST_F(PlaylistDownloadLock, PlaylistBeingSavedRepliesMinusOneAndLogs)
{
    folder.Write("list.plg", kPlaylist);
    TVRNFileStream saving(folder.File("list.plg"), kOpenReadWrite | kShareExclusive);

    GetPlaylist(host, *pair.server, *user, folder.Folder(), "list.plg", kQuickRetry);

    EXPECT_EQ(pair.ReceiveAll(), "-1\r\n");
    ASSERT_EQ(host.Lines().size(), 1u);
    EXPECT_THAT(host.Lines()[0], StartsWith("User bob attempt to modifiy list.plg failed.\r\n     EFOpenError: "));
}

struct SaveFramingCase {
    const char* what;
    friend void PrintTo(const SaveFramingCase& c, std::ostream* os) { *os << c.what; }
    std::string sent;
    bool endSending;
    std::string wire;
    std::string content;
};

class PlaylistSaveFraming : public CommandExchangeCases<SaveFramingCase> {};

TEST_P(PlaylistSaveFraming, SizeLineBodyAndReply)
{
    const auto& param = GetParam();
    folder.Write("list.plg", kPlaylist);
    pair.Send(param.sent);
    if (param.endSending)
        pair.EndSending();

    WritePlaylist(host, *pair.server, *user, folder.Folder(), kQuickRetry);

    EXPECT_EQ(pair.server->ReadTimeout(), Connection::kDefaultReadTimeout);
    EXPECT_EQ(pair.ReceiveAll(), param.wire);
    EXPECT_EQ(folder.Read("list.plg"), param.content);
}

const std::string kBody = "00-1list.plg\r\n0001new\r\n99991\r\n";

INSTANTIATE_TEST_SUITE_P(
    Exchanges, PlaylistSaveFraming,
    ::testing::Values(
        SaveFramingCase{"saved", std::to_string(kBody.size()) + "\r\n" + kBody, false, "OK\r\nOK\r\n",
                        "H1\r\nB,a\r\na1\r\nB,b\r\nnew\r\n"},
        SaveFramingCase{"size zero", "0\r\n" + kBody, false, "", kPlaylist},
        SaveFramingCase{"size not a number", "12a\r\n" + kBody, false, "", kPlaylist},
        SaveFramingCase{"negative size", "-4\r\n" + kBody, false, "", kPlaylist},
        SaveFramingCase{"body shorter than announced",
                        std::to_string(kBody.size() + 10) + "\r\n" + kBody, true, "OK\r\n", kPlaylist}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

class PlaylistSaveFramingNext : public CommandExchange {};

TEST_F(PlaylistSaveFramingNext, FollowingCommandIsReadAfterTheBody)
{
    folder.Write("list.plg", kPlaylist);
    pair.Send(std::to_string(kBody.size()) + "\r\n" + kBody + "Settings\r\n");

    WritePlaylist(host, *pair.server, *user, folder.Folder(), kQuickRetry);

    EXPECT_EQ(pair.server->ReadLine(), "Settings");
}

TEST_F(PlaylistSaveFramingNext, TimeOutBoundsEachWaitNotTheWholeBody)
{
    // A slow link: the body comes in pieces, each well within the time-out,
    // together taking longer than it.
    folder.Write("list.plg", kPlaylist);
    const std::chrono::milliseconds timeout(600);
    const std::size_t pieces = 5;
    std::thread client([&] {
        pair.Send(std::to_string(kBody.size()) + "\r\n");
        const auto piece = kBody.size() / pieces + 1;
        for (std::size_t start = 0; start < kBody.size(); start += piece) {
            std::this_thread::sleep_for(timeout / 3);
            pair.Send(kBody.substr(start, piece));
        }
    });

    WritePlaylist(host, *pair.server, *user, folder.Folder(), kQuickRetry, timeout);
    client.join();

    EXPECT_EQ(pair.server->ReadTimeout(), Connection::kDefaultReadTimeout);
    EXPECT_EQ(pair.ReceiveAll(), "OK\r\nOK\r\n");
    EXPECT_EQ(folder.Read("list.plg"), "H1\r\nB,a\r\na1\r\nB,b\r\nnew\r\n");
}

} // namespace
} // namespace zd::testing

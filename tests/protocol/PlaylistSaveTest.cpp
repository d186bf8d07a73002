#include "PlaylistTestSupport.hpp"

#include "audio/TVRNFileStream.hpp"
#include "protocol/PlaylistMerge.hpp"
#include "protocol/PlaylistTransfer.hpp"

#include <gmock/gmock.h>

#include <thread>

namespace zd::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Three blocks, numbered 0 to 2, after two head lines.
const std::string kOld = "H1\r\nH2\r\nB,a\r\na1\r\na2\r\nB,b\r\nb1\r\nB,c\r\nc1\r\n";
const PlaylistRetry kQuickRetry{2, std::chrono::milliseconds(10)};

std::string Lines(std::initializer_list<std::string_view> lines, std::string_view end = "\r\n")
{
    std::string text;
    for (const auto line : lines) {
        text += line;
        text += end;
    }
    return text;
}

struct MergeCase {
    const char* what;
    friend void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.what; }
    std::string body;
    std::string reply;
    std::string content; // the playlist afterwards
    bool restoredLogged = false;
};

class PlaylistMergeCases : public ::testing::TestWithParam<MergeCase> {};

TEST_P(PlaylistMergeCases, SaveGivesContentAndReply)
{
    const auto& param = GetParam();
    TempFolder folder;
    folder.Write("list.plg", kOld);
    RecordingHost host;
    auto user = TestUser();

    const auto reply = SavePlaylistBody(host, *user, folder.Folder(), param.body, kQuickRetry);

    EXPECT_EQ(reply, param.reply);
    EXPECT_EQ(folder.Read("list.plg"), param.content);
    EXPECT_FALSE(user->PlaylistOpen);
    EXPECT_EQ(user->PlaylistStream, nullptr);
    const auto lines = host.Lines();
    const bool restored = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line == "**** User bob error updating PLG. File restored";
    });
    EXPECT_EQ(restored, param.restoredLogged);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, PlaylistMergeCases,
    ::testing::Values(
        MergeCase{"block 1 replaced, bytes after a NUL ignored",
                  Lines({"00-1list.plg", "0001x1", "0001x2", "99992"}) + std::string("\0" "0002zz\r\n", 9),
                  "OK", "H1\r\nH2\r\nB,a\r\na1\r\na2\r\nB,b\r\nx1\r\nx2\r\nB,c\r\nc1\r\n"},
        MergeCase{"blocks 0 and 2 replaced, LF line ends, last line without end",
                  Lines({"00-1list.plg", "0000y1", "0002z1"}, "\n") + "99992",
                  "OK", "H1\r\nH2\r\nB,a\r\ny1\r\nB,b\r\nb1\r\nB,c\r\nz1\r\n"},
        MergeCase{"a block beyond the end is appended",
                  Lines({"00-1list.plg", "0005n1", "99991"}), "OK", kOld + "n1\r\n"},
        MergeCase{"a prefix that is not a number names block 0; a negative one is ignored",
                  Lines({"00-1list.plg", "xxxxq1", "-001zz", "99991"}), "OK",
                  "H1\r\nH2\r\nB,a\r\nq1\r\nB,b\r\nb1\r\nB,c\r\nc1\r\n"},
        MergeCase{"a wrong count writes the old content back and replies the count",
                  Lines({"00-1list.plg", "0001x1", "99995"}), "5", kOld, true},
        MergeCase{"a body without its end marker writes the old content back",
                  Lines({"00-1list.plg", "0001x1", "0001x2"}), "Size=0", kOld, true},
        MergeCase{"lines after the end marker are not handled",
                  Lines({"00-1list.plg", "99990", "0001x1"}), "OK", kOld},
        MergeCase{"a body without header changes nothing",
                  Lines({"0001x1", "99991"}), "Size=0", kOld},
        MergeCase{"a header naming a missing playlist",
                  Lines({"00-1other.plg", "0001x1", "99991"}), "1", kOld},
        MergeCase{"a header naming a file outside the folder",
                  Lines({"00-1..\\list.plg", "0001x1", "99991"}), "1", kOld},
        MergeCase{"a later header first writes back the playlist left open",
                  Lines({"00-1list.plg", "0001x1", "00-1other.plg", "0001x2", "99991"}), "1", kOld,
                  true}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(PlaylistSave, HeaderNamingAFileOutsideTheFolderOrNoPlaylistIsLogged)
{
    TempFolder folder;
    folder.Write("list.plg", kOld);
    folder.Write("list.bak", kOld);
    for (const std::string name : {"..\\list.plg", "sub/list.plg", "..", "list.bak", ".plg"}) {
        SCOPED_TRACE(name);
        RecordingHost host;
        auto user = TestUser();

        EXPECT_EQ(SavePlaylistBody(host, *user, folder.Folder(), Lines({"00-1" + name, "0001x1", "99991"}),
                                   kQuickRetry),
                  "1");

        EXPECT_THAT(host.Lines(),
                    ElementsAre("User bob attempt to modifiy " + name + " failed.\r\n     Invalid file name"));
        EXPECT_EQ(folder.Read("list.plg"), kOld);
        EXPECT_EQ(folder.Read("list.bak"), kOld);
    }
}

TEST(PlaylistSave, BackupOnlyForFilesOverHundredBytes)
{
    for (const std::size_t size : {std::size_t{100}, std::size_t{101}}) {
        SCOPED_TRACE(size);
        TempFolder folder;
        const std::string old = "B,a\r\n" + std::string(size - 7, 'x') + "\r\n";
        ASSERT_EQ(old.size(), size);
        folder.Write("list.plg", old);
        RecordingHost host;
        auto user = TestUser();

        EXPECT_EQ(SavePlaylistBody(host, *user, folder.Folder(),
                                   Lines({"00-1list.plg", "0000new", "99991"}), kQuickRetry),
                  "OK");

        EXPECT_EQ(folder.Read("list.plg"), "B,a\r\nnew\r\n");
        EXPECT_EQ(folder.Exists("list.bak"), size > 100);
        if (size > 100) {
            EXPECT_EQ(folder.Read("list.bak"), old);
        }
        EXPECT_THAT(host.Lines(), ElementsAre("User bob opened list.plg", "User bob saved list.plg"));
    }
}

TEST(PlaylistSave, LockedPlaylistRepliesZeroAndLogs)
{
    TempFolder folder;
    folder.Write("list.plg", kOld);
    TVRNFileStream other(folder.File("list.plg"), kOpenRead | kShareDenyWrite);
    RecordingHost host;
    auto user = TestUser();

    EXPECT_EQ(SavePlaylistBody(host, *user, folder.Folder(),
                               Lines({"00-1list.plg", "0001x1", "99991"}), kQuickRetry),
              "0");

    EXPECT_EQ(folder.Read("list.plg"), kOld);
    ASSERT_EQ(host.Lines().size(), 1u);
    EXPECT_THAT(host.Lines()[0], ::testing::StartsWith("User bob attempt to modifiy list.plg failed.\r\n     EFOpenError: "));
    EXPECT_THAT(host.Lines()[0], HasSubstr(kFileInUseText));
}

TEST(PlaylistSave, SessionEndWritesBackHalfSavedPlaylist)
{
    TempFolder folder;
    folder.Write("list.plg", kOld);
    RecordingHost host;
    auto user = TestUser();
    ASSERT_TRUE(OpenPlaylistLocked(host, *user, folder.File("list.plg"),
                                   kOpenReadWrite | kShareExclusive));
    user->OldPlaylistLines = ReadPlaylistLines(kOld);
    user->PlaylistStream->SetSize(0);
    user->PlaylistStream->Write(std::string_view("H1\r\nhalf"));

    EXPECT_EQ(RestorePlaylistAtSessionEnd(host, *user), "File restored");
    EXPECT_EQ(folder.Read("list.plg"), kOld);
    EXPECT_EQ(user->PlaylistStream, nullptr);
    EXPECT_THAT(user->OldPlaylistLines, IsEmpty());
    EXPECT_EQ(RestorePlaylistAtSessionEnd(host, *user), std::nullopt);
}

TEST(PlaylistSave, SessionEndDuringASaveLeavesItToTheSavingThread)
{
    TempFolder folder;
    folder.Write("list.plg", kOld);
    RecordingHost host;
    auto user = TestUser();
    std::string reply;
    std::thread saving;
    {
        TVRNFileStream scheduler(folder.File("list.plg"), kOpenRead | kShareDenyWrite);
        saving = std::thread([&] {
            reply = SavePlaylistBody(host, *user, folder.Folder(), Lines({"00-1list.plg", "0002z", "99991"}),
                                     PlaylistRetry{100, std::chrono::milliseconds(10)});
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // The connection ends (a forced disconnect) while its save waits for the playlist.
        EXPECT_EQ(RestorePlaylistAtSessionEnd(host, *user), std::nullopt);
    }
    saving.join();
    EXPECT_EQ(reply, "OK");
    EXPECT_EQ(folder.Read("list.plg"), "H1\r\nH2\r\nB,a\r\na1\r\na2\r\nB,b\r\nb1\r\nB,c\r\nz\r\n");
    EXPECT_EQ(user->PlaylistStream, nullptr);
}

TEST(PlaylistBodyLines, SplitAndClassify)
{
    EXPECT_THAT(SplitPlaylistLines("a\r\nb\nc\rd"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(SplitPlaylistLines("a\r\n\r\n"), ElementsAre("a", ""));
    EXPECT_THAT(SplitPlaylistLines("a\rb\r\rc\nd\r"), ElementsAre("a", "b", "", "c", "d"));
    EXPECT_THAT(SplitPlaylistLines("\n\r\n"), ElementsAre("", ""));
    EXPECT_THAT(SplitPlaylistLines(""), IsEmpty());

    struct Row {
        std::string_view line;
        BodyLineKind kind;
        int number;
        std::string_view rest;
    };
    for (const Row& row : {Row{"00-1list.plg", BodyLineKind::Header, 0, "list.plg"},
                           Row{"99997", BodyLineKind::EndMarker, 9999, "7"},
                           Row{"0012B,x", BodyLineKind::Block, 12, "B,x"},
                           Row{"  3 line", BodyLineKind::Block, 3, "line"},
                           Row{"abc", BodyLineKind::Block, 0, ""}}) {
        SCOPED_TRACE(row.line);
        const auto line = ClassifyBodyLine(row.line);
        EXPECT_EQ(line.kind, row.kind);
        EXPECT_EQ(line.number, row.number);
        EXPECT_EQ(line.rest, row.rest);
    }
    const std::string longLine = "0001" + std::string(9000, 'r');
    EXPECT_EQ(ClassifyBodyLine(longLine).rest.size(), 8191u);
}

} // namespace
} // namespace zd::testing

#include "TempInstallation.hpp"

#include "audio/FileDuration.hpp"
#include "audio/FileOps.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/SongRestrictionCheck.hpp"
#include "audio/TVRNFileStream.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace zd {
namespace {

using testing::TempInstallation;

TEST(FileOps, RenameMovesButNeverOverwrites)
{
    TempInstallation inst;
    inst.Put("Data/a.txt", "A");
    inst.Put("Data/b.txt", "B");
    std::filesystem::create_directories(inst.OnDriveC("Other"));

    EXPECT_FALSE(RenameFileMarked("C:\\Data\\a.txt", "C:\\Data\\b.txt"));
    EXPECT_FALSE(RenameFileMarked("C:\\Data\\a.txt", "C:\\DATA\\B.TXT")); // b.txt under another case
    EXPECT_EQ(TempInstallation::Read(inst.OnDriveC("Data/b.txt")), "B");
    EXPECT_FALSE(RenameFileMarked("C:\\Data\\missing.txt", "C:\\Data\\c.txt"));
    EXPECT_FALSE(RenameFileMarked("C:\\Data", "C:\\Data2"));
    EXPECT_FALSE(RenameFileMarked("C:\\Data\\a.txt", "C:\\Nowhere\\a.txt"));

    EXPECT_TRUE(RenameFileMarked("c:\\data\\A.TXT", "C:\\other\\moved.txt"));
    EXPECT_EQ(TempInstallation::Read(inst.OnDriveC("Other/moved.txt")), "A");
    EXPECT_FALSE(std::filesystem::exists(inst.OnDriveC("Data/a.txt")));

    EXPECT_TRUE(RenameFileMarked("C:\\Other\\moved.txt", "C:\\Other\\MOVED.txt")); // case only
    EXPECT_TRUE(std::filesystem::exists(inst.OnDriveC("Other/MOVED.txt")));
    EXPECT_FALSE(std::filesystem::exists(inst.OnDriveC("Other/moved.txt")));
}

TEST(FileOps, DeleteAndRenameRespectOpenHandles)
{
    TempInstallation inst;
    inst.Put("Data/p.plg", "x");
    std::filesystem::create_directories(inst.OnDriveC("Folder"));
    EXPECT_FALSE(DeleteFileMarked("C:\\Folder"));
    EXPECT_FALSE(DeleteFileMarked("C:\\Data\\none.plg"));
    {
        TVRNFileStream held("C:\\Data\\p.plg", kOpenRead | kShareDenyWrite);
        EXPECT_FALSE(DeleteFileMarked("C:\\Data\\p.plg"));
        EXPECT_FALSE(RenameFileMarked("C:\\Data\\p.plg", "C:\\Data\\q.plg"));
    }
    EXPECT_TRUE(DeleteFileMarked("c:\\DATA\\P.PLG"));
    EXPECT_FALSE(FileExistsMarked("C:\\Data\\p.plg"));
}

TEST(FileOps, PlaylistOrProgramAndExtension)
{
    const std::pair<const char*, bool> cases[] = {
        {"C:\\x\\List.M3U", true}, {"a.pls", true}, {"a.asx", true}, {"setup.EXE", true},
        {"run.bat", true}, {"run.cmd", true}, {"song.mp3", false}, {"m3u", false}, {"C:\\a.m3u\\b", false},
    };
    for (const auto& [name, listed] : cases)
        EXPECT_EQ(PlaylistOrProgram(name), listed) << name;
    EXPECT_EQ(ExtensionLower("C:\\Music\\Song.AIFF"), ".aiff");
    EXPECT_EQ(ExtensionLower("C:\\Mu.sic\\Song"), "");
}

TEST(RetryOpen, GivesUpOnALockedFileAndKeepsTheReason)
{
    TempInstallation inst;
    inst.Put("Cadmora/Playlists/0101.plg", "old");
    const char* name = "C:\\Cadmora\\Playlists\\0101.plg";
    {
        TVRNFileStream held(name, kOpenReadWrite | kShareExclusive);
        SetLastFileError("");
        EXPECT_EQ(OpenFileStreamRetry(name, 3, kOpenReadWrite | kShareExclusive), nullptr);
        EXPECT_NE(LastFileError().find("being used by another process"), std::string::npos) << LastFileError();
        EXPECT_EQ(OpenWideFileStreamRetry(name, 1, kOpenRead | kShareDenyNone), nullptr);
        TextFileReader text;
        EXPECT_FALSE(OpenTextFileRetry(text, name, 1));
        EXPECT_EQ(ReadWholeTextFile(name).rfind("Error>Cannot open file", 0), 0u);
        EXPECT_FALSE(CanOpenForReading(name));
    }
    EXPECT_EQ(OpenFileStreamRetry(name, 0, kOpenRead), nullptr);

    // The holder lets go between two attempts.
    std::optional<TVRNFileStream> held;
    held.emplace(name, kOpenReadWrite | kShareExclusive);
    std::atomic<bool> released{false};
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        held.reset();
        released = true;
    });
    auto stream = OpenFileStreamRetry(name, 5, kOpenReadWrite | kShareExclusive);
    releaser.join();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(released);
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_EQ(stream->Size(), 3);
}

TEST(RetryOpen, CreatesAMissingFileForWritingOnly)
{
    TempInstallation inst;
    std::filesystem::create_directories(inst.OnDriveC("Data"));
    EXPECT_EQ(OpenFileStreamRetry("C:\\Data\\new.txt", 1, kOpenRead | kShareDenyNone), nullptr);
    EXPECT_FALSE(FileExistsMarked("C:\\Data\\new.txt"));
    EXPECT_EQ(OpenWideFileStreamRetry("C:\\Data\\new.txt", 1, kOpenWrite | kShareDenyNone), nullptr);
    auto made = OpenFileStreamRetry("C:\\Data\\new.txt", 1, kOpenWrite | kShareDenyWrite);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Size(), 0);
    made.reset();
    EXPECT_EQ(OpenFileStreamRetry("C:\\Nowhere\\new.txt", 2, kOpenWrite), nullptr);
    EXPECT_NE(LastFileError().find("cannot find the path"), std::string::npos) << LastFileError();
}

TEST(RetryOpen, TextFilesAndWholeFiles)
{
    TempInstallation inst;
    inst.Put("Data/colors.dat", std::string("one\r\ntwo\nthree\rfour\r\n\r\nlast"));
    TextFileReader text;
    EXPECT_FALSE(OpenTextFileRetry(text, "C:\\Data\\none.dat", 3));
    ASSERT_TRUE(OpenTextFileRetry(text, "c:\\data\\COLORS.DAT", 3));
    std::vector<std::string> lines;
    for (std::string line; text.ReadLine(line);)
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", "", "last"}));
    text.Close();
    EXPECT_EQ(ReadWholeTextFile("C:\\Data\\colors.dat"), std::string("one\r\ntwo\nthree\rfour\r\n\r\nlast"));
    EXPECT_EQ(ReadWholeTextFile("C:\\Data\\none.dat").rfind("Error>", 0), 0u);
    EXPECT_TRUE(CanOpenForReading("C:\\Data\\colors.dat"));
    EXPECT_FALSE(CanOpenForReading("C:\\Data"));
}

TEST(RetryOpen, LastFileErrorSurvivesRacingThreads)
{
    std::vector<std::thread> threads;
    std::atomic<bool> torn{false};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &torn] {
            const std::string mine(100 + t, static_cast<char>('a' + t));
            for (int i = 0; i < 2000; ++i) {
                SetLastFileError(mine);
                const std::string seen = LastFileError();
                if (seen.empty() || seen.find_first_not_of(seen[0]) != std::string::npos
                    || seen.size() != 100u + static_cast<unsigned>(seen[0] - 'a'))
                    torn = true;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_FALSE(torn);
}

TEST(FileDuration, PicksTheRowByExtension)
{
    struct Case {
        const char* name;
        const char* firstOfRow; // nullptr: no row
    } const cases[] = {
        {"C:\\Music\\Song.MP3", ".mp3"}, {"x.snd", ".mp3"}, {"x.Wav", ".wav"}, {"x.opus", ".ogg"},
        {"x.aiff", ".aif"}, {"x.AIFC", ".aif"}, {"x.aif", ".aif"}, {"x.mp4a", ".m4a"}, {"x.mpeg", ".mpg"},
        {"x.pls", ".pls"}, {"x.txt", nullptr}, {"x.ai", nullptr}, {"noextension", nullptr}, {"x.mp3x", nullptr},
    };
    for (const auto& c : cases) {
        const DurationRow* row = DurationRowFor(c.name);
        const std::string_view served = row == nullptr ? std::string_view("none") : row->Extensions[0];
        EXPECT_EQ(served, c.firstOfRow == nullptr ? "none" : c.firstOfRow) << c.name;
    }
}

TEST(FileDuration, UnknownLengthsAreMinusOne)
{
    TempInstallation inst;
    inst.Put("Music/notes.txt", "text");
    inst.Put("Music/empty.mp3", "");
    inst.Put("Music/empty.aiff", "");
    const char* cases[] = {
        "C:\\Music\\missing.mp3", "C:\\Music\\notes.txt", "C:\\Music\\empty.mp3", "C:\\Music\\empty.aiff",
        "C:\\Music", "",
    };
    for (const char* name : cases)
        EXPECT_EQ(GetFileDuration(name), -1) << name;
    TVRNFileStream closed("C:\\Music\\notes.txt", kOpenRead | kShareDenyNone);
    closed.Close();
    EXPECT_EQ(GetFileDuration("C:\\Music\\missing.mp3", &closed), -1);
}

TEST(FileOps, ResolveRelativePath)
{
    TempInstallation inst;
    inst.Put("Music/Rock/song.mp3", "x");
    inst.Put("Music/top.mp3", "x");
    inst.Put("root.mp3", "x");
    const char* list = "C:\\Music\\Rock\\list.m3u";
    struct Case {
        const char* entry;
        const char* resolved;
    } const cases[] = {
        {"song.mp3", "C:\\Music\\Rock\\song.mp3"},
        {".\\song.mp3", "C:\\Music\\Rock\\song.mp3"},
        {"..\\top.mp3", "C:\\Music\\top.mp3"},
        {"\\root.mp3", "C:\\root.mp3"},
        {"C:\\elsewhere.mp3", "C:\\elsewhere.mp3"},
        {"\\\\srv\\share\\a.mp3", "\\\\srv\\share\\a.mp3"},
        {"missing.mp3", "missing.mp3"},
        {"x", "x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveRelativePath(list, c.entry), c.resolved) << c.entry;
    inst.Put("Music/Rock/Caf\xC3\xA9.mp3", "x");
    EXPECT_EQ(ResolveRelativePath(list, "Caf\xE9.mp3"), "\x7F" "C:\\Music\\Rock\\Caf\xC3\xA9.mp3");
}

TEST(SongRestrictionCheck, DeletesOnlyAfterTheRangeHasEnded)
{
    TempInstallation inst;
    const auto path = inst.Put("Music/old.mp3", "x");
    TSongRestriction ended;
    ended.StartDate = 45000;
    ended.EndDate = 45010;
    ended.DeleteAfterEnd = 1;
    const char* name = "C:\\Music\\old.mp3";

    EXPECT_FALSE(IsAllowedAt(ended, name, 0.0, 45020.5)); // no current time: never deletes
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_FALSE(IsAllowedAt(ended, name, 45005.5, 45020.5)); // still in range now
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_FALSE(IsAllowedAt(ended, name, 44990.5, 44995.5)); // before the start
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(IsAllowedAt(ended, name, 45020.5, 45005.5));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_FALSE(IsAllowedAt(ended, name, 45020.5, 45020.5));
    EXPECT_FALSE(std::filesystem::exists(path));

    inst.Put("Music/kept.mp3", "x");
    ended.DeleteAfterEnd = 0;
    EXPECT_FALSE(IsAllowedAt(ended, "C:\\Music\\kept.mp3", 45020.5, 45020.5));
    EXPECT_TRUE(FileExistsMarked("C:\\Music\\kept.mp3"));
}

} // namespace
} // namespace zd

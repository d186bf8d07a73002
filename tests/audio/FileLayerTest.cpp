#include "TempInstallation.hpp"

#include "audio/FileFacts.hpp"
#include "audio/FileOps.hpp"
#include "audio/NativePath.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/TVRNFileStream.hpp"
#include "common/Error.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace zd {
namespace {

using testing::TempInstallation;

TEST(FileLayer, WindowsNamesReachFilesThroughTheDriveMap)
{
    TempInstallation inst;
    const auto file = inst.Put("Data/x.dat", "payload");
    inst.Put("Data/Sub Folder/Caf\xC3\xA9.txt", "accent");
    EXPECT_EQ(DriveMapFolder(), (inst.Root() / "dosdevices").string() + "/");

    struct Case {
        const char* name;
        bool exists;
    } const cases[] = {
        {"C:\\Data\\x.dat", true},
        {"c:\\DATA\\X.DAT", true},
        {"C:/Data/x.dat", true},
        {"C:\\Data\\..\\..\\..\\Data\\x.dat", true}, // ".." stops at the drive's root
        {"C:\\Data\\.\\x.dat", true},
        {"\x7F" "C:\\data\\sub folder\\CAF\xC3\x89.TXT", true},
        {"C:\\Data\\sub folder\\caf\xC9.txt", true}, // code-page name
        {"D:\\Data\\x.dat", false},                 // not mapped
        {"C:\\Data", false},                        // a folder
        {"C:\\Data\\y.dat", false},
        {"\\\\server\\share\\x.dat", false},         // UNC: not supported
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileExistsMarked(c.name), c.exists) << c.name;

    EXPECT_EQ(*NativePathOf("c:\\DATA\\X.DAT"), (inst.Root() / "dosdevices" / "c:" / "Data" / "x.dat").string());
    EXPECT_FALSE(NativePathOf("Q:\\x").has_value());
    // A native absolute path is used as it stands (case matching aside).
    EXPECT_TRUE(FileExistsMarked(file.string()));
    std::string upper = file.string();
    upper.replace(upper.size() - 5, 5, "X.DAT");
    EXPECT_TRUE(FileExistsMarked(upper));

    TVRNFileStream stream("C:\\DATA\\x.DAT", kOpenRead | kShareDenyNone);
    char buffer[16] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 7u);
    EXPECT_EQ(std::string(buffer), "payload");
}

TEST(FileLayer, NoDriveMapNamesNoDriveFile)
{
    TempInstallation inst;
    inst.Put("Data/x.dat", "x");
    for (const char* root : {"/", ""}) {
        SetInstallationRoot(root);
        EXPECT_FALSE(FileExistsMarked("C:\\Data\\x.dat")) << root;
        EXPECT_EQ(DriveMapFolder(), "") << root;
    }
    // The map is found from the root itself, as well as from below it.
    SetInstallationRoot(inst.Root().string());
    EXPECT_TRUE(FileExistsMarked("C:\\Data\\x.dat"));
}

TEST(FileLayer, CreatesInTheFolderThatExistsUnderAnotherCase)
{
    TempInstallation inst;
    std::filesystem::create_directories(inst.OnDriveC("Cadmora/Voice Tracks"));
    {
        TVRNFileStream made("C:\\CADMORA\\voice tracks\\New.wav", kModeCreate);
        made.Write(std::string_view("RIFF"));
    }
    EXPECT_EQ(TempInstallation::Read(inst.OnDriveC("Cadmora/Voice Tracks/New.wav")), "RIFF");
    EXPECT_FALSE(std::filesystem::exists(inst.OnDriveC("CADMORA")));
    // Opening an existing file under another case reaches that file.
    {
        TVRNFileStream again("C:\\cadmora\\VOICE TRACKS\\NEW.WAV", kModeCreate);
        again.Write(std::string_view("RIFX"));
    }
    EXPECT_EQ(TempInstallation::Read(inst.OnDriveC("Cadmora/Voice Tracks/New.wav")), "RIFX");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(inst.OnDriveC("Cadmora/Voice Tracks")), {}), 1);
}

TEST(FileLayer, StreamReadsWritesSeeksAndTruncates)
{
    TempInstallation inst;
    EXPECT_THROW(TVRNFileStream("C:\\Data\\s.bin", kModeCreate), FileError); // no folder yet
    std::filesystem::create_directories(inst.OnDriveC("Data"));
    auto made = TVRNFileStream::Create("C:\\Data\\s.bin", kModeCreate);
    TVRNFileStream f = std::move(*made); // the lock moves with the handle
    made.reset();
    f.Write(std::string_view("0123456789"));
    EXPECT_EQ(f.Size(), 10);
    EXPECT_EQ(f.Seek(-3, TVRNFileStream::Origin::End), 7);
    char three[3];
    f.ReadBuffer(three, 3);
    EXPECT_EQ(std::string(three, 3), "789");
    EXPECT_THROW(f.ReadBuffer(three, 1), FileError);
    f.SetPosition(4);
    f.Truncate();
    EXPECT_EQ(f.Size(), 4);
    // Beyond 4 GiB: the size and position are 64-bit (a sparse file).
    const std::int64_t far = (std::int64_t{1} << 32) + 5;
    f.SetPosition(far);
    f.Write(std::string_view("Z"));
    EXPECT_EQ(f.Size(), far + 1);
    EXPECT_EQ(f.Position(), far + 1);
    f.SetSize(2);
    EXPECT_EQ(f.Position(), 2);
    EXPECT_THROW(f.Seek(-5, TVRNFileStream::Origin::Begin), FileError);
    EXPECT_THROW(TVRNFileStream("C:\\Data\\s.bin", kOpenRead | kShareDenyNone), FileError);
    f.Close();

    TVRNFileStream reader("C:\\Data\\s.bin", kOpenRead | kShareDenyNone);
    EXPECT_THROW(reader.Write(std::string_view("x")), FileError);
    reader.Close();
    EXPECT_FALSE(reader.HasHandle());
    EXPECT_THROW(reader.Size(), FileError);
}

TEST(FileLayer, OpenErrorsCarryTheReason)
{
    TempInstallation inst;
    std::filesystem::create_directories(inst.OnDriveC("Data"));
    struct Case {
        const char* name;
        std::uint16_t mode;
        const char* className;
        const char* reason;
    } const cases[] = {
        {"C:\\Data\\none.txt", kOpenRead, "EFOpenError", "The system cannot find the file specified"},
        {"C:\\Nowhere\\none.txt", kOpenRead, "EFOpenError", "The system cannot find the path specified"},
        {"C:\\Nowhere\\none.txt", kModeCreate, "EFCreateError", "The system cannot find the path specified"},
        {"C:\\Data", kOpenRead, "EFOpenError", "Access is denied"},
        {"Z:\\x", kOpenRead, "EFOpenError", "The system cannot find the path specified"},
    };
    for (const auto& c : cases) {
        try {
            TVRNFileStream s(c.name, c.mode);
            ADD_FAILURE() << c.name << " opened";
        } catch (const FileError& error) {
            EXPECT_EQ(error.ClassName(), c.className) << c.name;
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
    }
}

TEST(FileLayer, FactsAndPreservedTimes)
{
    TempInstallation inst;
    const auto path = inst.Put("Data/t.mp3", "12345");
    timespec old[2] = {{1600000000, 0}, {1600000000, 0}}; // 2020-09-13 12:26:40 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    const TFileFacts facts = FileFacts("c:\\data\\T.MP3");
    ASSERT_TRUE(facts.Found);
    EXPECT_EQ(facts.Size, 5);
    EXPECT_EQ(facts.UtcDosDate, (40 << 9) | (9 << 5) | 13);
    EXPECT_EQ(facts.UtcDosTime, (12 << 11) | (26 << 5) | 20);
    EXPECT_EQ(FileSizeOf("C:\\Data\\t.mp3"), 5);
    EXPECT_GT(FileLocalDosTime("C:\\Data\\t.mp3"), 0);
    EXPECT_EQ(FileSizeOf("C:\\Data\\missing.mp3"), -1);
    EXPECT_EQ(FileLocalDosTime("C:\\Data"), -1);

    {
        TVRNFileStream s("C:\\Data\\t.mp3", kOpenReadWrite | kShareDenyNone);
        s.Seek(0, TVRNFileStream::Origin::End);
        s.Write(std::string_view("TAG"));
        EXPECT_TRUE(PreserveFileTimes(s, facts, true));
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(st.st_size, 8);
}

} // namespace
} // namespace zd

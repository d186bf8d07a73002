#include "scheduler/SharedFiles.hpp"

#include "audio/TVRNFileStream.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zd {
namespace {

namespace fs = std::filesystem;

TEST(CategoryNameOfLine, TakesTheTextBeforeTheCommaOrTheQuotedName)
{
    struct Case {
        const char* line;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"Rock,12", "Rock"},
        {"\"Rock, Pop\",12", "\"Rock, Pop\""},
        {"\"Rock, Pop\"", std::nullopt},
        {"Rock", std::nullopt},
        {"Easy Listening,3,4", "Easy Listening"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CategoryNameOfLine(c.line), c.name) << c.line;
}

// A data folder and a playlist folder under a temporary folder, named in
// the scheduler's settings.
class SharedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("zd-shared-" + std::to_string(::getpid()));
        fs::create_directories(root / "Data");
        fs::create_directories(root / "Playlists");
        SetSchedulerDataFolder((root / "Data").string() + "/");
        std::string line;
        for (int i = 0; i < 130; ++i) {
            std::string item = "0";
            if (i == 34)
                item = "\"" + (root / "Playlists").string() + "\"";
            line += (i ? "," : "") + item;
        }
        ASSERT_TRUE(LoadSchedulerSettingsFromLine(line));
    }
    void TearDown() override { fs::remove_all(root); }
    std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    fs::path root;
};

TEST_F(SharedFiles, ListsOrdinaryPlaylistFilesOnly)
{
    for (const char* name : {"0101.plg", "0102.PLG", ".hidden.plg", "notes.txt", "0103.plg.bak"})
        std::ofstream(root / "Playlists" / name) << "x";
    fs::create_directories(root / "Playlists" / "folder.plg");
    std::vector<std::string> names = ListPlaylists();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"0101.plg", "0102.PLG"}));
}

TEST_F(SharedFiles, ReadsCategoryNamesInFileOrder)
{
    std::ofstream(root / "Data" / "Categories.dat") << "Rock,1\r\n\"Rock, Pop\",12\r\nbroken\r\nJazz,3\r\n";
    EXPECT_EQ(ReadCategoryNames(false), (std::vector<std::string>{"Rock", "\"Rock, Pop\"", "Jazz"}));
    EXPECT_TRUE(ReadCategoryNames(true).empty());  // no Spots.dat
}

TEST_F(SharedFiles, PublishesConnectedUsersOnlyIntoAnExistingFile)
{
    const fs::path file = root / "Playlists" / "VTUsers.log";
    PublishConnectedUsers({"demo - "});
    EXPECT_FALSE(fs::exists(file));

    std::ofstream(file).close();
    PublishConnectedUsers({"demo - ", "bob - Bob \xE9"});
    EXPECT_EQ(Read(file), std::string("\xFF\xFE" "d\0e\0m\0o\0 \0-\0 \0\r\0\n\0"
                                      "b\0o\0b\0 \0-\0 \0B\0o\0b\0 \0\xE9\0\r\0\n\0", 2 + 2 * 9 + 2 * 13));
    PublishConnectedUsers({});
    EXPECT_EQ(Read(file), "\xFF\xFE");
}

TEST_F(SharedFiles, SchedulerEditsWhileItHoldsTheConnectedUsersFile)
{
    EXPECT_FALSE(IsSchedulerEditing());  // no file
    const std::string file = (root / "Playlists" / "VTUsers.log").string();
    std::ofstream(file).close();
    EXPECT_FALSE(IsSchedulerEditing());
    {
        TVRNFileStream held(file, kOpenReadWrite | kShareExclusive);
        EXPECT_TRUE(IsSchedulerEditing());
    }
    EXPECT_FALSE(IsSchedulerEditing());
}

} // namespace
} // namespace zd

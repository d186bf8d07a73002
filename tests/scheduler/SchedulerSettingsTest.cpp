#include "scheduler/SchedulerSettings.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zd {
namespace {

using Items = std::vector<std::string>;

TEST(SplitCommaList, FollowsTheQuoteSpaceAndCommaRules)
{
    struct Case {
        const char* line;
        Items items;
    };
    const Case cases[] = {
        {"a,b,c", {"a", "b", "c"}},
        {"  \t a , b", {"a", "b"}},
        {"\"C:\\My Lists\\Day One\",x", {"C:\\My Lists\\Day One", "x"}},
        {"C:\\My Lists,x", {"C:\\My", "Lists", "x"}},
        {"\"say \"\"hi\"\"\",2", {"say \"hi\"", "2"}},
        {"a,b,", {"a", "b", ""}},
        {"a,b, ", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"\"open to the end", {"open to the end"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommaList(c.line), c.items) << c.line;
}

// A first line of 130 items whose item i is "v<i>", with the numeric and
// folder items set to plausible values; `patch` changes single items.
std::string Line(const std::vector<std::pair<int, std::string>>& patch = {}, int count = 130)
{
    Items items;
    for (int i = 0; i < count; ++i)
        items.push_back("v" + std::to_string(i));
    auto set = [&](int i, std::string v) {
        if (i < count)
            items[static_cast<std::size_t>(i)] = std::move(v);
    };
    set(3, "7");
    set(4, "12");
    set(5, "90");
    set(8, "C:\\Cadmora\\Import");
    set(33, "1");
    set(34, "C:\\Cadmora\\Playlists\\");
    set(42, "3");
    set(47, "C:\\Cadmora\\VoiceTracks");
    set(58, "1");
    set(129, "16777215");
    for (auto& [i, v] : patch)
        set(i, v);
    std::string line;
    for (std::size_t i = 0; i < items.size(); ++i)
        line += (i ? "," : "") + items[i];
    return line;
}

class SchedulerLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A known starting point: a complete load of other values.
        ASSERT_TRUE(LoadSchedulerSettingsFromLine(Line({{3, "1"}, {5, "1"}, {6, "old6"}, {34, "C:\\Old"}, {40, "old40"}, {76, "old76"}, {129, "5"}})));
    }
    static SchedulerSettings Now() { return *CurrentSchedulerSettings(); }
};

TEST_F(SchedulerLoad, KeepsEveryValueWithItsConversion)
{
    ASSERT_TRUE(LoadSchedulerSettingsFromLine(Line({{3, "300"}, {42, " 12a"}, {61, "\"Station \"\"One\"\". Rest\""}})));
    const SchedulerSettings s = Now();
    EXPECT_EQ(s.Value3, 300 % 256);
    EXPECT_EQ(s.Value4, 12);
    EXPECT_EQ(s.Value5, 90);
    EXPECT_EQ(s.Value6, "v6");
    EXPECT_EQ(s.Value7, "v7");
    EXPECT_EQ(s.PlaylistWriteFolder, "C:\\Cadmora\\Import\\");
    EXPECT_EQ(s.Value23 + s.Value24 + s.Value25 + s.Value26 + s.Value28, "v23v24v25v26v28");
    EXPECT_FALSE(s.Value33NotOne);
    EXPECT_EQ(s.PlaylistFolder, "C:\\Cadmora\\Playlists\\");
    EXPECT_EQ(s.Value40 + s.Value41, "v40v41");
    EXPECT_EQ(s.Value42, 0);  // not a number
    EXPECT_EQ(s.VoiceTrackFolder, "C:\\Cadmora\\VoiceTracks\\");
    EXPECT_TRUE(s.Value58IsOne);
    EXPECT_EQ(s.Value61, "Station \"One");
    EXPECT_EQ(s.Value74 + s.Value75 + s.Value76, "v74v75v76");
    EXPECT_EQ(s.Colour129, 0xFFFFFF);
    EXPECT_EQ(PlaylistFolder(), s.PlaylistFolder);
}

TEST_F(SchedulerLoad, EdgeCasesOfTheFirstLine)
{
    struct Case {
        const char* name;
        std::string line;
        bool loads;
        void (*check)(const SchedulerSettings&);
    };
    const Case cases[] = {
        {"quoted folder with spaces stays whole", Line({{34, "\"C:\\Cadmora\\Play Lists\""}}), true,
         [](const SchedulerSettings& s) {
             EXPECT_EQ(s.PlaylistFolder, "C:\\Cadmora\\Play Lists\\");
             EXPECT_EQ(s.Value40, "v40");
         }},
        {"unquoted folder with a space is cut and later items move", Line({{34, "C:\\Play Lists"}}), true,
         [](const SchedulerSettings& s) {
             EXPECT_EQ(s.PlaylistFolder, "C:\\Play\\");
             EXPECT_EQ(s.Value40, "v39");
             EXPECT_EQ(s.Value76, "v75");
         }},
        {"a final comma adds the empty item 129", Line({}, 129) + ",", true,
         [](const SchedulerSettings& s) { EXPECT_EQ(s.Colour129, 0); }},
        {"value 61 without the pair is kept whole", Line({{61, "\"Hits \"\"and\"\" more\""}}), true,
         [](const SchedulerSettings& s) { EXPECT_EQ(s.Value61, "Hits \"and\" more"); }},
        {"value 33 other than 1 and value 58 other than 1", Line({{33, "0"}, {58, "2"}}), true,
         [](const SchedulerSettings& s) {
             EXPECT_TRUE(s.Value33NotOne);
             EXPECT_FALSE(s.Value58IsOne);
         }},
        {"value 3 not a number changes nothing", Line({{3, "x"}, {6, "new6"}}), false,
         [](const SchedulerSettings& s) {
             EXPECT_EQ(s.Value3, 1);
             EXPECT_EQ(s.Value6, "old6");
         }},
        {"value 5 not a number keeps 3 and 4 changed, 6 as it was", Line({{3, "9"}, {4, "44"}, {5, "5m"}}), false,
         [](const SchedulerSettings& s) {
             EXPECT_EQ(s.Value3, 9);
             EXPECT_EQ(s.Value4, 44);
             EXPECT_EQ(s.Value5, 1);
             EXPECT_EQ(s.Value6, "old6");
         }},
        {"a line that ends before 129 sets what it reaches", Line({{76, "new76"}}, 129), false,
         [](const SchedulerSettings& s) {
             EXPECT_EQ(s.Value76, "new76");
             EXPECT_EQ(s.Colour129, 5);
         }},
        {"an empty line", "", false,
         [](const SchedulerSettings& s) { EXPECT_EQ(s.PlaylistFolder, "C:\\Old\\"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        EXPECT_EQ(LoadSchedulerSettingsFromLine(c.line), c.loads);
        c.check(Now());
    }
}

TEST_F(SchedulerLoad, ReadsOnlyTheFirstLineOfTheFileInTheDataFolder)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("zd-sched-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    SetSchedulerDataFolder(folder.string() + "/");
    EXPECT_FALSE(LoadSchedulerSettings());  // no file
    std::ofstream(folder / "VRNCadmora.dat") << Line({{7, "fromfile"}}) << "\r\nsecond,line\r\n";
    EXPECT_TRUE(LoadSchedulerSettings());
    EXPECT_EQ(Now().Value7, "fromfile");
    EXPECT_EQ(DataFolder(), folder.string() + "/");
    fs::remove_all(folder);
}

} // namespace
} // namespace zd

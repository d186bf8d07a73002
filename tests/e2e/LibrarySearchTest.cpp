// "Categories" and "Search=" of the real program on copies of the demo
// installation: the demo music gets the station's fields in its tag store,
// zdlibrary builds the databases from it, and the searches run over TLS.

#include "DemoInstallation.hpp"
#include "RawClient.hpp"
#include "ServerProcess.hpp"

#include "audio/tags/TAPETags.hpp"
#include "common/DosTime.hpp"
#include "common/MarkedText.hpp"
#include "common/SongRestriction.hpp"
#include "scheduler/LibraryDatabase.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace zd::e2e {
namespace {

namespace fs = std::filesystem;

// Wednesday 2026-06-10 12:00:00, the time the songs would play.
const std::uint32_t kPlay = static_cast<std::uint32_t>(PackDosDateTime(2026, 6, 10, 12, 0, 0));
const std::uint32_t kHalfHourBefore = static_cast<std::uint32_t>(PackDosDateTime(2026, 6, 10, 11, 30, 0));
const std::string kPlayText = std::to_string(kPlay);

std::string History(std::uint32_t newest)
{
    std::string bytes;
    for (int slot = 0; slot < 18; ++slot) {
        const std::uint32_t value = slot == 0 ? newest : kEmptyHistorySlot;
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return bytes;
}

// Allowed on Mondays from 00:00 to 00:59 only.
std::string MondayMidnightOnly()
{
    TSongRestriction restriction;
    for (auto& day : restriction.Days)
        day.DayEnabled = 0;
    restriction.Days[0] = {1, 1u << 23};
    const auto bytes = restriction.ToBytes();
    return std::string(bytes.begin(), bytes.end());
}

void Tag(const fs::path& file, std::initializer_list<std::pair<std::string, std::string>> fields)
{
    TAPETags tags(MarkIfHigh(file.string()), 1, TAPETags::ModeReadWrite);
    ASSERT_TRUE(tags.Opened()) << file;
    for (const auto& [name, value] : fields)
        tags.SetField(name, value);
    tags.WriteTags();
}

// A database of references only.
void WriteReferences(const fs::path& file, std::initializer_list<const char*> names)
{
    LibraryWriter writer(file.string());
    for (const char* name : names) {
        LibraryRecord record;
        record.FileName = name;
        writer.Add(record);
    }
    writer.Commit();
}

// A demo copy with the station's fields in its music and a server on it.
struct SearchServer {
    explicit SearchServer(int separationMinutes)
    {
        const fs::path music = demo.MusicFolder();
        Tag(music / "Rock" / "The Sine Waves - Thunder Test.mp3",
            {{"Artist", "The Sine Waves"}, {"Title", "Thunder Test"}, {"Album", "Oscillations"}, {"Genre", "Rock"},
             {"Mood", "Energetic"}, {"Year", "1984"}, {"Rating", "5"}, {"Tempo", "4"}, {"Energy", "5"},
             {"Era", "3"}, {"FadeSpeed", "4500"}, {"XLastScheduled", History(kHalfHourBefore)}});
        Tag(music / "Rock" / "The Sine Waves - Square Dance.wav",
            {{"Artist", "The Sine Waves"}, {"Title", "Square Dance"}, {"Album", "Oscillations"}, {"Genre", "Rock"},
             {"Mood", "Calm"}, {"Year", "1985"}, {"Rating", "3"}, {"Tempo", "2"}, {"Energy", "2"}, {"Era", "3"},
             {"FadeSpeed", "800"}});
        Tag(music / "Rock" / "Feedback Loop - Overdrive.wav",
            {{"Artist", "Feedback Loop"}, {"Title", "Overdrive"}, {"Album", "Distortion"}, {"Genre", "Hard Rock"},
             {"Year", "1991"}, {"Rating", "1"}, {"Tempo", "5"}, {"Energy", "4"}, {"Era", "4"}, {"FadeSpeed", "2000"},
             {"XRestrictions", MondayMidnightOnly()}});
        // Accents the code page holds, and one it does not (stored as UTF-8).
        Tag(music / "Jazz" / "Zoë Márquez - Été Indien.mp3",
            {{"Artist", "\x7FZoë Márquez"}, {"Title", "\x7F\xC3\x89t\xC3\xA9 Indien"}, {"Year", "2012"}});
        Tag(music / "Jazz" / "Blue Note Trio - Late Set.aiff",
            {{"Artist", "\x7F" "Antonín Dvořák"}, {"Title", "Largo"}, {"Year", "1893"}});
        demo.BuildLibrary();
        WriteReferences(demo.DataFolder() / "All.dat", {"Rock.dat", "jazz.DAT", "Pop.dat", "All.dat"});
        WriteReferences(demo.DataFolder() / "{Oldies}.dat", {"Classics.dat"});
        std::ofstream(demo.DataFolder() / "Old.dat", std::ios::binary) << '\x13';

        const fs::path settings = demo.DataFolder() / "VRNCadmora.dat";
        std::ifstream in(settings, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), {}};
        const std::string value5 = ",3,60,Demo,";
        text.replace(text.find(value5), value5.size(), ",3," + std::to_string(separationMinutes) + ",Demo,");
        std::ofstream(settings, std::ios::binary | std::ios::trunc) << text;

        TUser limited;
        limited.Login = "limited";
        limited.Password = "demo";
        limited.Categories = "Rock;jazz";
        demo.AddAccount(limited);
        port = FreePort();
        server = RunHeadlessServer(demo.RootArgument(), port);
    }

    std::unique_ptr<RawClient> LoggedIn(const std::string& login) const
    {
        auto client = std::make_unique<RawClient>(port);
        EXPECT_EQ(client->Login(login, "demo"), "OK");
        return client;
    }

    // The reply's items: the matches' columns, or one column for another item.
    std::vector<std::vector<std::string>> Search(const std::string& login, const std::string& request) const
    {
        auto client = LoggedIn(login);
        client->WriteLine("Search=" + request);
        const std::string count = client->ReadLine().value_or("<time-out>");
        if (count == "0")
            return {};
        const auto text = client->ReadExact(std::stoul(count));
        std::vector<std::vector<std::string>> items;
        for (const auto& item : SplitCommaList(text.value_or("")))
            items.push_back(SplitCommaList(item).size() == 20 ? SplitCommaList(item) : std::vector{item});
        return items;
    }

    DemoInstallation demo;
    std::uint16_t port = 0;
    std::unique_ptr<ServerProcess> server;
};

class LibrarySearch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        withSeparation = std::make_unique<SearchServer>(60);
        withoutSeparation = std::make_unique<SearchServer>(0);
    }
    static void TearDownTestSuite()
    {
        withSeparation.reset();
        withoutSeparation.reset();
    }
    static inline std::unique_ptr<SearchServer> withSeparation, withoutSeparation;
};

// The titles of the matches (column 3), and the other items as they are.
std::vector<std::string> Titles(const std::vector<std::vector<std::string>>& items)
{
    std::vector<std::string> titles;
    for (const auto& item : items)
        titles.push_back(item.size() == 20 ? item[2] : item[0]);
    return titles;
}

TEST_F(LibrarySearch, EveryKeyAloneAndCombined)
{
    struct Case {
        const char* user;
        std::string request;
        std::vector<std::string> titles;
    };
    const std::string rock = "Rock,0," + kPlayText + ",";
    const std::vector<std::string> allRock{"Overdrive", "Square Dance", "Thunder Test"};
    const Case cases[] = {
        {"demo", "Rock,0," + kPlayText, allRock},
        {"demo", "rock", allRock},
        {"demo", rock + "A=sine", {"Square Dance", "Thunder Test"}},
        {"demo", rock + "\"A=SINE WAVES\"", {"Square Dance", "Thunder Test"}},
        {"demo", rock + "A=", allRock},
        {"demo", rock + "T=thunder", {"Thunder Test"}},
        {"demo", rock + "B=oscill", {"Square Dance", "Thunder Test"}},
        {"demo", rock + "G=hard", {"Overdrive"}},
        {"demo", rock + "M=calm", {"Square Dance"}},
        {"demo", rock + "FY=1985", {"Overdrive", "Square Dance"}},
        {"demo", rock + "TY=1984", {"Thunder Test"}},
        {"demo", rock + "FY=1985,TY=1985", {"Square Dance"}},
        {"demo", rock + "FY=2000", {}},
        // Thunder Test plays 3.03 s, Square Dance 2 s, Overdrive 4.03 s.
        {"demo", rock + "FD=3000,TD=3000", {"Thunder Test"}},
        {"demo", rock + "FD=2600", {"Overdrive", "Thunder Test"}},
        {"demo", rock + "FD=2500", allRock},
        {"demo", rock + "TD=1500", {"Square Dance"}},
        {"demo", rock + "TD=1400", {}},
        {"demo", rock + "FB=200", {"Square Dance"}},
        {"demo", rock + "TB=200", {"Overdrive", "Thunder Test"}},
        {"demo", rock + "FR=3", {"Square Dance", "Thunder Test"}},
        {"demo", rock + "TR=1", {"Overdrive"}},
        {"demo", rock + "O=4", {"Thunder Test"}},
        {"demo", rock + "E=2", {"Square Dance"}},
        {"demo", rock + "D=3", {"Square Dance", "Thunder Test"}},
        {"demo", rock + "D=9", {}},
        {"demo", rock + "\"EN=Long Fade\"", {"Thunder Test"}},
        {"demo", rock + "EN=Cold", {"Square Dance"}},
        {"demo", rock + "EN=Fade", {"Overdrive"}},
        {"demo", rock + "A=sine,FR=4,D=3,O=4", {"Thunder Test"}},
        {"demo", rock + "A=sine,T=overdrive", {}},
        {"demo", rock + "A=sine FY=1985", {"Square Dance"}},
        // References, braces and the cycle back to All.
        {"demo", "All,0," + kPlayText,
         {"Overdrive", "Square Dance", "Thunder Test", "Brushes", "Largo", "Été Indien", "Night Drive", "Radio Edit",
          "Summer Hum", "Café Noir"}},
        {"demo", "All,0," + kPlayText + ",NS=1", {}},
        {"demo", "Oldies,1," + kPlayText, {"Für Elise"}},
        // Accents: code page and UTF-8 in the request against both in the database.
        {"demo", "Jazz,0,0,A=márquez", {"Été Indien"}},
        {"demo", "Jazz,0,0,A=m\xE1rquez", {"Été Indien"}},
        {"demo", "Jazz,0,0,T=\x7F\xC3\xA9t\xC3\xA9", {"Été Indien"}},
        {"demo", "Jazz,0,0,A=dvořák", {"Largo"}},
        {"demo", "Jazz,0,0,A=anton\xEDn", {"Largo"}},
        // Permitted categories.
        {"limited", "Pop,0," + kPlayText, {}},
        {"limited", "Jazz,0,0,T=largo", {"Largo"}},
        {"limited", "All,0," + kPlayText,
         {"Overdrive", "Square Dance", "Thunder Test", "Brushes", "Largo", "Été Indien"}},
        // Errors.
        {"demo", "Old", {"Incompatible version of Cadmora (19)"}},
        {"demo", "..\\Data\\Rock", {}},
        {"demo", "ZODavizi", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Titles(withSeparation->Search(c.user, c.request)), c.titles) << c.user << " " << c.request;

    const auto missing = withSeparation->Search("demo", "Nope");
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0][0], "File not found");
    EXPECT_TRUE(missing[1][0].ends_with("Nope.dat")) << missing[1][0];
    const std::string log = withSeparation->server->Stdout();
    for (const char* line : {"**** Search: Incompatible version of Cadmora (19)", "**** Search: File not found: ",
                             "User limited may not search the category Pop"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(LibrarySearch, RestrictionAndSeparationFlags)
{
    const auto columns = [](const SearchServer& server, const std::string& mode) {
        std::vector<std::string> flags;
        for (const auto& item : server.Search("demo", "Rock,0," + kPlayText + ",SR=" + mode))
            flags.push_back(item[2] + " " + item[15] + item[16] + " " + item[17]);
        return flags;
    };
    const std::string empty = std::to_string(kEmptyHistorySlot);
    const std::string halfHour = std::to_string(kHalfHourBefore);
    EXPECT_EQ(columns(*withSeparation, "2"), (std::vector<std::string>{
        "Overdrive 01 " + empty, "Square Dance 11 " + empty, "Thunder Test 10 " + halfHour}));
    EXPECT_EQ(columns(*withSeparation, "1"), (std::vector<std::string>{"Square Dance 11 " + empty}));
    EXPECT_EQ(columns(*withSeparation, "0"), (std::vector<std::string>{
        "Overdrive 11 " + empty, "Square Dance 11 " + empty, "Thunder Test 11 " + halfHour}));
    EXPECT_EQ(columns(*withoutSeparation, "1"), (std::vector<std::string>{
        "Square Dance 11 " + empty, "Thunder Test 11 " + halfHour}));
}

TEST_F(LibrarySearch, MatchColumnsInOrder)
{
    const auto items = withSeparation->Search("demo", "All,0," + kPlayText + ",T=thunder");
    ASSERT_EQ(items.size(), 1u);
    const auto& c = items[0];
    EXPECT_EQ(c[0], "C:\\Cadmora\\Music\\Rock\\The Sine Waves - Thunder Test.mp3");
    EXPECT_EQ((std::vector<std::string>(c.begin() + 1, c.begin() + 7)),
              (std::vector<std::string>{"The Sine Waves", "Thunder Test", "Oscillations", "Rock", "Energetic", "1984"}));
    EXPECT_NEAR(std::stoi(c[7]), 3030, 60);
    EXPECT_NEAR(std::stoi(c[8]), 128, 10);
    EXPECT_EQ((std::vector<std::string>(c.begin() + 9, c.end())),
              (std::vector<std::string>{"5", "4", "5", "3", "4500", "Long Fade", "1", "1",
                                        std::to_string(kHalfHourBefore), "Rock", "2"}));

    const auto accented = withSeparation->Search("demo", "Jazz,0,0,A=zoë");
    ASSERT_EQ(accented.size(), 1u);
    EXPECT_EQ(accented[0][0], "C:\\Cadmora\\Music\\Jazz\\Zoë Márquez - Été Indien.mp3");
    EXPECT_EQ(accented[0][1], "Zoë Márquez");
}

TEST_F(LibrarySearch, CategoriesListsWhatTheUserMaySearch)
{
    auto client = withSeparation->LoggedIn("limited");
    client->WriteLine("Categories");
    std::vector<std::string> lines;
    for (int i = 0; i < 4; ++i)
        lines.push_back(client->ReadLine().value_or("<time-out>"));
    EXPECT_EQ(lines, (std::vector<std::string>{"Rock,Jazz",
                                               "Station ID,Promo,\"News, Weather\",Traffic,Sponsor,Ad Block,"
                                               "Sweeper,Liner,Bumper,Stinger,Drop,Intro",
                                               "60", "3"}));
}

TEST_F(LibrarySearch, VtClientPrintsOneMatchPerLine)
{
    const auto& s = *withSeparation;
    ServerProcess client(BuiltProgram("vtclient"),
                         {"--port", std::to_string(s.port), "--user", "demo", "--password", "demo", "search",
                          "Rock,0," + kPlayText + ",A=sine", "categories"});
    ASSERT_EQ(client.WaitExit(std::chrono::seconds(60)), 0) << client.Stderr();
    const std::string out = client.Stdout();
    EXPECT_NE(out.find("File\tArtist\tTitle\tAlbum"), std::string::npos) << out;
    EXPECT_NE(out.find("\\The Sine Waves - Square Dance.wav\tThe Sine Waves\tSquare Dance\tOscillations\t"),
              std::string::npos) << out;
    EXPECT_NE(out.find("Rock,Pop,\"Rock, Pop\",Jazz"), std::string::npos) << out;

    ServerProcess missing(BuiltProgram("vtclient"), {"--port", std::to_string(s.port), "--user", "demo",
                                                     "--password", "demo", "search", "Nope"});
    EXPECT_EQ(missing.WaitExit(std::chrono::seconds(60)), 1);
    EXPECT_NE(missing.Stderr().find("search: File not found"), std::string::npos) << missing.Stderr();
}

} // namespace
} // namespace zd::e2e

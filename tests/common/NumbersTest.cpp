#include "common/Numbers.hpp"
#include "common/Scramble.hpp"
#include "common/Texts.hpp"
#include "common/Timing.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace zd {
namespace {

TEST(Numbers, TextToIntDef0)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {" 42 ", 42}, {"\t-7\r\n", -7}, {"+5", 5}, {"12a", 0}, {"", 0}, {"  ", 0},
        {"2147483647", 2147483647}, {"2147483648", 0}, {"0x10", 0}, {"1 2", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(TextToIntDef0(text), value) << '"' << text << '"';
    EXPECT_EQ(TextToInt64Def0("5000000000"), 5000000000LL);
}

TEST(Numbers, IsNumber)
{
    const std::pair<const char*, bool> cases[] = {
        {"1", true}, {"-1.5", true}, {"1e3", true}, {".5", true}, {"5.", true},
        {"", false}, {" 1", false}, {"1 ", false}, {"1,5", false}, {"1.2.3", false},
        {"inf", false}, {"nan", false}, {"-", false}, {"1e", false}, {"0x1", false},
    };
    for (const auto& [text, isNumber] : cases)
        EXPECT_EQ(IsNumber(text), isNumber) << '"' << text << '"';
}

TEST(Numbers, ZeroPad)
{
    EXPECT_EQ(ZeroPad("7", 3), "007");
    EXPECT_EQ(ZeroPad("1200", 3), "1200");
    EXPECT_EQ(ZeroPad("45", 3), "045");
    EXPECT_EQ(ZeroPad(" 5", 3), "00 5"); // counts the trimmed length, keeps the text
    EXPECT_EQ(ZeroPad("", 2), "00");
}

TEST(Numbers, ReplayGainFactor)
{
    struct Case {
        const char* text;
        std::uint32_t factor;
        bool marker;
    } const cases[] = {
        {"+0 dB", 0, false},
        {"-6.02 dB", 32770, false},
        {"+6.02 dB", 131064, false},
        {"G-6.02 DB", 32770, true},
        {"no gain here", 0, false},
        {"abc dB", 0, false},
        {"-1000 dB", 0, false},
    };
    for (const auto& c : cases) {
        bool marker = !c.marker;
        const std::uint32_t factor = ReplayGainFactor(c.text, marker);
        EXPECT_NEAR(static_cast<double>(factor), static_cast<double>(c.factor), 2.0) << c.text;
        EXPECT_EQ(marker, c.marker) << c.text;
    }
}

TEST(Numbers, ByteOrderAndBits)
{
    EXPECT_EQ(Swap16(0x1234), 0x3412);
    EXPECT_EQ(Swap32(0x12345678u), 0x78563412u);
    EXPECT_EQ(BigEndian64(Swap32(0x00000001u), Swap32(0x00000002u)), 0x0000000100000002ull);
    EXPECT_EQ(SyncSafeToInt(0x00000201u), 257u);
    EXPECT_EQ(SyncSafeToInt(0x7F7F7F7Fu), 0x0FFFFFFFu);
    const std::uint8_t bytes[4] = {0x00, 0x00, 0x02, 0x01};
    EXPECT_EQ(SyncSafeToInt(std::span<const std::uint8_t, 4>(bytes)), 257u);
    const std::uint8_t rate44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(BigEndianExtended(rate44100), 44100.0);
    EXPECT_DOUBLE_EQ(BigEndianExtended(std::span<const std::uint8_t>(rate44100, 4)), 0.0);
    EXPECT_TRUE(BitIsSet(0x8, 3));
    EXPECT_FALSE(BitIsSet(0x8, 2));
    EXPECT_FALSE(BitIsSet(1, 64));
    EXPECT_TRUE(HasAllBits(0xF0, 0x30));
    EXPECT_FALSE(HasAllBits(0xF0, 0x31));
}

TEST(Texts, BreakAtChar)
{
    struct Case {
        const char* text;
        std::vector<std::string> pieces;
    } const cases[] = {
        {";a", {"", "a"}},
        {"a;;b", {"a", "", "b"}},
        {"a;", {"a"}},
        {"a;;", {"a", ""}},
        {"", {}},
        {"\x7F" "\xC3\xA9;b", {"\x7F" "\xC3\xA9", "b"}},
    };
    std::vector<std::string> list{"stale"};
    for (const auto& c : cases) {
        BreakAtChar(list, c.text, ';');
        EXPECT_EQ(list, c.pieces) << c.text;
    }
}

TEST(Texts, DashFields)
{
    struct Case {
        std::string text, first, second, third;
    } const cases[] = {
        {"Title only", "", "Title only", ""},
        {"Artist - Title", "Artist", "Title", ""},
        {"A - B - C ", "A", "B", "C"},
        {"A-B", "", "A-B", ""},
        {"A - " + std::string(300, 'x'), "A", std::string(255, 'x'), ""},
    };
    for (const auto& c : cases) {
        const TDashFields f = DashFields(c.text);
        EXPECT_EQ(f.First, c.first) << c.text;
        EXPECT_EQ(f.Second, c.second) << c.text;
        EXPECT_EQ(f.Third, c.third) << c.text;
    }
}

TEST(Texts, BaseNameOfAndTransitionAndIp)
{
    EXPECT_EQ(BaseNameOf("C:\\Music\\Song.mp3"), "Song");
    EXPECT_EQ(BaseNameOf("/srv/a.b/file"), "file");
    EXPECT_EQ(BaseNameOf("\x7F" "C:\\M\xC3\xBAsica\\Ca\xC3\xA7\xC3\xA3o.mp3"), "\x7F" "Ca\xC3\xA7\xC3\xA3o");
    EXPECT_EQ(BaseNameOf("\x7F" "C:\\M\xC3\xBAsica\\Song.mp3"), "Song");

    const std::pair<std::int64_t, const char*> transitions[] = {
        {0, ""}, {1, "Cold"}, {900, "Cold"}, {901, "Short Fade"}, {1400, "Short Fade"},
        {1401, "Fade"}, {3999, "Fade"}, {4000, "Long Fade"},
    };
    for (const auto& [ms, name] : transitions)
        EXPECT_EQ(TransitionName(ms), name) << ms;
    EXPECT_EQ(MessageKindCaption(TMessageKind::Warning), "Warning");

    struct IpCase {
        const char* pattern;
        const char* ip;
        bool matches;
    } const ips[] = {
        {"10.0.*", "10.0.5.9", true}, {"10.0.*", "10.1.5.9", false}, {"*", "192.168.1.1", true},
        {"10.0.5.9", "10.0.5.9", true}, {"10.0.5.9", "10.0.5.90", false}, {"10.0.5.*9", "10.0.5.1", true},
        {"", "", true}, {"", "1.2.3.4", false},
    };
    for (const auto& c : ips)
        EXPECT_EQ(IpMatches(c.pattern, c.ip), c.matches) << c.pattern << " " << c.ip;
}

TEST(Texts, ScrambleAndContrast)
{
    EXPECT_EQ(Scramble("abc", false), "efg");
    EXPECT_EQ(Scramble(std::string("\x1A\x19\x18", 3), false), "3D>");
    EXPECT_EQ(Scramble("3D>", true), std::string("\x1A\x19\x18", 3));
    EXPECT_EQ(Scramble("\xFE", false), "\x02");
    // Every byte survives a round trip, "@", "/" and ":" included.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Scramble(Scramble(all, false), true), all);
    EXPECT_EQ(Scramble(Scramble("user@host:/x", false), true), "user@host:/x");

    EXPECT_EQ(ContrastTextColour(0xFFFFFF, 384), 0u);
    EXPECT_EQ(ContrastTextColour(0x000080, 384), 0xFFFFFFu);
    EXPECT_EQ(ContrastTextColour(0x808080, 384), 0xFFFFFFu); // 384 is not above 384
}

TEST(Timing, TickDifferenceWrapsAndSleepCounts)
{
    EXPECT_EQ(TickDifference(0xFFFFFFF0u, 0x00000010u), 0x20u);
    EXPECT_EQ(TickDifference(100, 150), 50u);
    std::uint32_t total = 0;
    EXPECT_TRUE(SleepAndCount(total, 1000, 20));
    EXPECT_GE(total, 19u);
    std::uint32_t nearly = 4049;
    EXPECT_FALSE(SleepAndCount(nearly, 4050, 15));
}

} // namespace
} // namespace zd

#include "common/CodePage.hpp"
#include "common/MarkedText.hpp"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

namespace zd {
namespace {

struct MarkedCase {
    const char* label;
    std::string marked;   // 8-bit form
    std::u16string wide;  // what it stands for
    std::string back;     // WideToMarked of wide
};

TEST(MarkedText, ConvertsBothWays)
{
    const MarkedCase cases[] = {
        {"ascii stays plain", "abc", u"abc", "abc"},
        {"e acute marked", "\x7F" "caf\xC3\xA9", u"caf\u00E9", "\x7F" "caf\xC3\xA9"},
        {"plain code-page byte", "caf\xE9", u"caf\u00E9", "\x7F" "caf\xC3\xA9"},
        {"invalid UTF-8 read as code page", "\x7F" "caf\xE9", u"caf\u00E9", "\x7F" "caf\xC3\xA9"},
        {"marker alone", "\x7F", u"", ""},
        {"beyond the code page", "\x7F" "\xE2\x82\xAC\xE2\x98\x83", u"\u20AC\u2603", "\x7F" "\xE2\x82\xAC\xE2\x98\x83"},
        {"empty", "", u"", ""},
        {"undefined code-page byte", "a\x81", u"a\u0081", "\x7F" "a\xC2\x81"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MarkedToWide(c.marked), c.wide) << c.label;
        EXPECT_EQ(WideToMarked(c.wide), c.back) << c.label;
        EXPECT_EQ(MarkedToWide(WideToMarked(c.wide)), c.wide) << c.label;
    }
}

TEST(MarkedText, NeverMarksTwice)
{
    // A wide text starting with DEL is already in marked form in the code
    // page: it comes back unchanged, not with a second marker.
    EXPECT_EQ(WideToMarked(u"\u007F" u"caf\u00E9"), "\x7F" "caf\xE9");
    EXPECT_EQ(MarkIfHigh("caf\xC3\xA9"), "\x7F" "caf\xC3\xA9");
    EXPECT_EQ(MarkIfHigh("abc"), "abc");
    EXPECT_FALSE(HasHighBytes(""));
    EXPECT_TRUE(IsMarked("\x7F"));
    EXPECT_FALSE(IsMarked(""));
}

TEST(MarkedText, ContainsTextFoldsUnicodeCase)
{
    struct Case {
        std::string text, part;
        bool contains;
    } const cases[] = {
        {"The Beatles", "beat", true},
        {"\x7F" "\xC3\x89T\xC3\x89", "\x7F" "\xC3\xA9t\xC3\xA9", true}, // ETE with accents, both cases
        {"CAF\xC9", "caf\xE9", true},                                     // code-page form
        {"\x7F" "\xD0\x9C\xD0\x98\xD0\xA0", "\x7F" "\xD0\xBC\xD0\xB8\xD1\x80", true}, // Cyrillic
        {"Abba", "abc", false},
        {"Abba", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContainsText(c.text, c.part), c.contains) << c.text << " / " << c.part;
}

TEST(CodePage, ConversionsAndFallbacks)
{
    EXPECT_EQ(Utf8OrAnsiToWide("caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(Utf8OrAnsiToWide("caf\xE9"), u"caf\u00E9");
    EXPECT_FALSE(Utf8ToWide("\xC3").has_value());
    EXPECT_FALSE(Utf8ToWide("\xC0\xAF").has_value()); // overlong form
    EXPECT_EQ(WideToCodePage(u"\u20AC\u0150", 1252), "\x80?");
    EXPECT_EQ(WideToCodePage(u"\u0150", 1250), "\xD5");
    EXPECT_EQ(WideToCodePage(u"\u00E9", 65001), "\xC3\xA9");
    EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(WideLower(u"\u00C9COLE \u0130"), u"\u00E9cole i");
}

// The code page is read once per process, so the configured case runs in a
// fresh copy of this test program with ZODAVIZI_CODEPAGE set.
TEST(CodePage, ConfiguredByTheEnvironment)
{
    if (const char* configured = std::getenv("ZODAVIZI_CODEPAGE")) {
        ASSERT_STREQ(configured, "1251");
        EXPECT_EQ(ConfiguredCodePage(), "CP1251");
        EXPECT_EQ(MarkedToWide("\xC0\xE1"), u"\u0410\u0431");   // Cyrillic A, be
        EXPECT_EQ(WideToMarked(u"\u0410"), "\x7F" "\xD0\x90");   // marked UTF-8 still
        return;
    }
    EXPECT_EQ(ConfiguredCodePage(), "CP1252");
    char program[] = "/proc/self/exe";
    char filter[] = "--gtest_filter=CodePage.ConfiguredByTheEnvironment";
    char setting[] = "ZODAVIZI_CODEPAGE=1251";
    char* argv[] = {program, filter, nullptr};
    char* envp[] = {setting, nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, program, nullptr, nullptr, argv, envp), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace
} // namespace zd

#include <gtest/gtest.h>

#include "TagTestFiles.hpp"
#include "audio/tags/APEItems.hpp"
#include "audio/tags/TagText.hpp"

namespace zd {
namespace {

using namespace testdata;

TEST(APEText, CleanTagTextRules)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"a\nb\rc", "a\x02" "b\x01" "c"},
        {"tab\there\x1F", "tabhere"},
        {"say \"hi\" | bye", "say 'hi' - bye"},
        {std::string("\0\0lead", 6), "lead"},
        {std::string("cut\0here", 8), "cut"},
        {"\x7F" "Caf\xC3\xA9", "\x7F" "Caf\xC3\xA9"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CleanTagText(in), out) << in;
}

// One raw item: value size, flags low and high, key, NUL, value.
Bytes Item(std::string_view key, std::string_view value, std::uint8_t low = 0, std::uint8_t high = 0)
{
    Bytes b;
    PutLE32(b, static_cast<std::uint32_t>(value.size()));
    b.insert(b.end(), {low, 0, 0, high});
    PutText(b, key);
    b.push_back(0);
    PutText(b, value);
    return b;
}

TEST(APEItems, TextAndBinaryValuesAsRead)
{
    using namespace std::string_literals;
    const struct {
        const char* what;
        Bytes item;
        std::string value;
    } cases[] = {
        {"NULs between values become commas", Item("Genre", "Pop\0Rock\0\0"s), "Pop,Rock"},
        {"comment NULs become line ends", Item("Comment", "one\0two"s), "one\ntwo"},
        {"text is cleaned", Item("Title", "a|b\"c\""), "a-b'c'"},
        {"UTF-8 stays UTF-8 behind the marker", Item("Artist", "Bj\xC3\xB6rk"), "\x7F" "Bj\xC3\xB6rk"},
        {"an old marker is not doubled", Item("Artist", "\x7F" "Bj\xC3\xB6rk"), "\x7F" "Bj\xC3\xB6rk"},
        {"code-page bytes become marked UTF-8", Item("Album", "Caf\xE9"), "\x7F" "Caf\xC3\xA9"},
        {"X fields are raw bytes", Item("XLastPlayed", "\0\x01|\"\xE9"s), "\0\x01|\"\xE9"s},
        {"binary by the low flags", Item("Cover Art (Front)", "\0\xFF\n"s, 2), "\0\xFF\n"s},
        {"binary by the high flags", Item("Picture", "\0a"s, 0, 2), "\0a"s},
        {"flag 128 is still text", Item("Mood", "a\0b"s, 0, 128), "a,b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = ParseAPEItems(c.item, 1);
        ASSERT_TRUE(read.Complete);
        ASSERT_EQ(read.Fields.size(), 1u);
        EXPECT_EQ(read.Fields[0].Value, c.value);
    }
}

TEST(APEItems, PositionsAndStoredLengthsPointIntoTheArea)
{
    const Bytes area = Join({Item("Title", "Caf\xC3\xA9"), Item("Intro", "5000")});
    const auto read = ParseAPEItems(area, 2);
    ASSERT_EQ(read.Fields.size(), 2u);
    for (const TTags& f : read.Fields) {
        SCOPED_TRACE(f.Name);
        EXPECT_EQ(area[static_cast<std::size_t>(f.ValuePos) - 1], 0) << "ValuePos is the NUL after the key";
    }
    EXPECT_EQ(read.Fields[0].StoredLen, 5) << "bytes in the file, not of the marked text";
    EXPECT_EQ(read.Fields[1].ValuePos, 8 + 5 + 1 + 5 + 8 + 5 + 1);
}

TEST(APEItems, ItemsThatLeaveTheAreaEndTheReading)
{
    const Bytes good = Item("Intro", "1");
    Bytes keyWithoutEnd = good;
    keyWithoutEnd.resize(12); // header and part of the key only
    Bytes valueTooLong = Item("Segue", "22");
    valueTooLong[0] = 9;
    const struct {
        const char* what;
        Bytes area;
        std::uint32_t count;
        std::size_t fields;
        bool complete;
    } cases[] = {
        {"count larger than the items", Join({good, good}), 3, 2, false},
        {"cut header", Join({good, Bytes(5, 0)}), 2, 1, false},
        {"key without its NUL", Join({good, keyWithoutEnd}), 2, 1, false},
        {"value past the end", Join({good, valueTooLong}), 2, 1, false},
        {"empty area", Bytes{}, 1, 0, false},
        {"padding after the items", Join({good, Bytes(40, 0)}), 1, 1, true},
        {"an empty key (zero bytes read as items)", Join({good, Bytes(40, 0)}), 3, 1, false},
        {"a key with a control byte", Join({good, Item("A\x01", "1")}), 2, 1, false},
        {"more items than claimed", Join({good, good}), 1, 1, false},
        {"a key outside the format's characters is still read", Join({good, Item("Cat\xE9gorie", "1")}), 2, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = ParseAPEItems(c.area, c.count);
        EXPECT_EQ(read.Fields.size(), c.fields);
        EXPECT_EQ(read.Complete, c.complete);
        if (!read.Fields.empty()) {
            EXPECT_EQ(read.Fields[0].Value, "1");
        }
    }
}

TEST(APEItems, BuildWritesBinaryFlagsAndUtf8Text)
{
    std::vector<TTags> fields = {
        {"XLastScheduled", std::string("\0\x21\0\0", 4)},
        {"Title", "\x7F" "Caf\xC3\xA9"},
        {"Album", "Caf\xE9"},
        {"Mood", ""},
    };
    std::uint32_t count = 0;
    const Bytes area = BuildAPEItemArea(fields, count);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(fields[0].FlagsHigh, 2);
    EXPECT_EQ(fields[0].FlagsLow & kAPEBinaryType, kAPEBinaryType);
    EXPECT_EQ(fields[1].StoredLen, 5);
    EXPECT_EQ(fields[3].ValuePos, 0);
    const auto read = ParseAPEItems(area, count);
    ASSERT_EQ(read.Fields.size(), 3u);
    EXPECT_EQ(read.Fields[0].Value, fields[0].Value);
    EXPECT_EQ(read.Fields[1].Value, "\x7F" "Caf\xC3\xA9");
    EXPECT_EQ(read.Fields[2].Value, "\x7F" "Caf\xC3\xA9");
    const std::string text = AsText(area);
    EXPECT_EQ(text.find('\x7F'), std::string::npos) << "the marker is not written";
}

} // namespace
} // namespace zd

#include "protocol/Dispatch.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

TEST(Dispatch, MatchesRowsInOrderAndCutsArguments)
{
    struct Case {
        std::string line;
        const char* word;  // nullptr: no row
        std::string argument;
    };
    const std::string longName(300, 'n');
    const Case cases[] = {
        {"Settings", "Settings", ""},
        {"settings", "Settings", ""},
        {"Settings x", nullptr, ""},
        {"Exists=track.mp3", "Exists=", "track.mp3"},
        {"EXISTS=track.mp3", "Exists=", "track.mp3"},
        {"Exists=" + longName, "Exists=", longName.substr(0, 260)},
        {"Exists", nullptr, ""},
        {"Exists=", "Exists=", ""},
        {"WritePLG=ignored", "WritePLG=", ""},
        {"WriteVT=take1.mp3", "WriteVT=", "take1.mp3"},
        {"WritePL=list.plg", "WritePL=", "list.plg"},
        {"FileCheck=123456789", "FileCheck=", "1234567"},
        {"filehint=a.mp3", "FileHint=", "a.mp3"},
        {"Scheduled=" + longName, "Scheduled=", longName},
        {"CATEGORIES", "Categories", ""},
        {"Search=" + std::string(1100, 's'), "Search=", std::string(1023, 's')},
        {"", nullptr, ""},
        {"Login", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 30));
        const DispatchRow* row = FindCommand(c.line);
        if (c.word == nullptr) {
            EXPECT_EQ(row, nullptr);
            continue;
        }
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->word, c.word);
        EXPECT_EQ(CommandArgument(*row, c.line), c.argument);
    }
}

TEST(Dispatch, UnknownCommandShowsAtMostTwentyCharacters)
{
    EXPECT_EQ(UnknownCommandReply(""), "What> ");
    EXPECT_EQ(UnknownCommandReply("Hello"), "What> Hello");
    EXPECT_EQ(UnknownCommandReply("abcdefghijklmnopqrstuvwxyz"), "What> abcdefghijklmnopqrst");
}

} // namespace
} // namespace zd

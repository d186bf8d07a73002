#include "common/Translate.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

TEST(Format, FillsIndexedAndSequentialArguments)
{
    struct Case {
        const char* pattern;
        std::string expected;
    };
    const Case cases[] = {
        {"User %0:s connected on IP %1:s.", "User bob connected on IP 10.0.0.2."},
        {"%1:s before %0:s", "10.0.0.2 before bob"},
        {"%s and %s", "bob and 10.0.0.2"},
        {"count %2:d", "count 42"},
        {"100%% sure", "100% sure"},
        {"missing %5:s stays", "missing %5:s stays"},
        {"trailing %", "trailing %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c.pattern, {std::string("bob"), std::string("10.0.0.2"), std::int64_t{42}}), c.expected)
            << c.pattern;
}

TEST(Format, UntranslatedTextPassesThrough)
{
    EXPECT_EQ(Tr("Password"), "Password");
    EXPECT_EQ(TrFormat("User %0:s already logged in", {std::string("amy")}), "User amy already logged in");
}

} // namespace
} // namespace zd

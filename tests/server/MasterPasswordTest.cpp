#include "server/MasterPassword.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace zd::test {
namespace {

TEST(MasterPassword, AsksUntilRightEmptyOrCancelled)
{
    struct Case {
        const char* name;
        std::string master;
        std::vector<std::optional<std::string>> entries; // nullopt: Cancel
        bool granted;
        std::size_t asked;
    };
    const std::vector<Case> cases{
        {"no password", "", {}, true, 0},
        {"right at once", "Secret", {"Secret"}, true, 1},
        {"wrong then right", "Secret", {"secret", "Secret!", "Secret"}, true, 3},
        {"empty entry", "Secret", {"wrong", ""}, false, 2},
        {"cancel", "Secret", {std::nullopt}, false, 1},
    };
    for (const Case& c : cases) {
        std::size_t asked = 0;
        const PasswordDialog dialog = [&](const std::string& caption, const std::string& prompt) {
            EXPECT_EQ(caption, "Vornelle Voice Track Server");
            EXPECT_EQ(prompt, "Please enter the Master Password");
            return asked < c.entries.size() ? c.entries[asked++] : std::nullopt;
        };
        EXPECT_EQ(AskMasterPassword(c.master, dialog), c.granted) << c.name;
        EXPECT_EQ(asked, c.asked) << c.name;
    }
    EXPECT_FALSE(AskMasterPassword("Secret", nullptr)); // no dialog: nothing shown
}

} // namespace
} // namespace zd::test

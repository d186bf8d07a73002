#include "server/TUser.hpp"
#include "server/UserList.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

struct AccessCase {
    const char* name;
    const char* login;     // as the client sends it
    const char* password;
    bool enabled;
    const char* restrict;
    const char* peer;
    AccessResult expected;
};

TEST(AccessRules, CheckAccessInOrder)
{
    UserList users;
    const AccessCase cases[] = {
        {"login without case", "Bob", "Secret", true, "", "10.0.0.1", AccessResult::Accepted},
        {"password case matters", "bob", "secret", true, "", "10.0.0.1", AccessResult::BadPassword},
        {"unknown user", "alice", "Secret", true, "", "10.0.0.1", AccessResult::BadPassword},
        {"disabled, right password", "bob", "Secret", false, "", "10.0.0.1", AccessResult::Disabled},
        {"disabled, wrong password", "bob", "wrong", false, "", "10.0.0.1", AccessResult::BadPassword},
        {"prefix pattern admits", "bob", "Secret", true, "192.168.1.*", "192.168.1.77", AccessResult::Accepted},
        {"prefix pattern refuses", "bob", "Secret", true, "192.168.1.*", "192.168.10.7", AccessResult::BadAddress},
        {"shorter prefix admits", "bob", "Secret", true, "192.168.1*", "192.168.10.7", AccessResult::Accepted},
        {"star alone admits all", "bob", "Secret", true, "*", "8.8.4.4", AccessResult::Accepted},
        {"exact address", "bob", "Secret", true, "192.168.1.5", "192.168.1.5", AccessResult::Accepted},
        {"no numeric parsing", "bob", "Secret", true, "192.168.1.5", "192.168.001.5", AccessResult::BadAddress},
        {"disabled before address", "bob", "Secret", false, "10.*", "192.168.1.5", AccessResult::Disabled},
    };
    for (const AccessCase& c : cases) {
        users.Clear();
        auto bob = NewUser("bob");
        bob->Password = "Secret";
        bob->Enabled = c.enabled ? 1 : 0;
        bob->RestrictIP = c.restrict;
        users.Add(bob);
        const auto found = users.FindUser(c.login);
        EXPECT_EQ(CheckAccess(found.get(), c.password, c.peer), c.expected) << c.name;
    }
}

TEST(AccessRules, CategoryPermission)
{
    struct Case {
        const char* categories;
        bool excluded;
        const char* category;
        bool permitted;
    } const cases[] = {
        {"Jazz;Rock", false, "rock", true},
        {"Jazz;Rock", false, "Pop", false},
        {"Jazz;Rock", false, "Roc", false},
        {"Jazz;Rock", true, "rock", false},
        {"Jazz;Rock", true, "Pop", true},
        {"", false, "Anything", true},
        {"", true, "Anything", false},
    };
    for (const Case& c : cases) {
        TUser user;
        user.Categories = c.categories;
        user.ExcludeCategories = c.excluded ? 1 : 0;
        EXPECT_EQ(IsCategoryPermitted(user, c.category), c.permitted)
            << c.categories << (c.excluded ? " excluded " : " included ") << c.category;
    }
}

TEST(AccessRules, HourPermissionLine)
{
    TUser user;
    EXPECT_EQ(HourPermissionLine(user, 0), std::string(24, '1'));
    user.HourAllowed[2 * 24 + 5] = 0;
    EXPECT_EQ(HourPermissionLine(user, 2), "111110111111111111111111");
    user.DayAllowed[6] = 0; // Sunday off: every hour off whatever the grid says
    EXPECT_EQ(HourPermissionLine(user, 6), std::string(24, '0'));
    EXPECT_EQ(HourPermissionLine(user, 7), std::string(24, '0'));
}

} // namespace
} // namespace zd

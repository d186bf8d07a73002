#include "server/UserList.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

std::vector<std::string> Logins(const UserList& list)
{
    std::vector<std::string> logins;
    for (const auto& entry : list.Entries())
        logins.push_back(entry.login);
    return logins;
}

TEST(UserList, SortedWithoutCaseAndFindsFirstDuplicate)
{
    UserList list;
    list.Add(NewUser("carol"));
    list.Add(NewUser("Bob"));
    list.Add(NewUser("alice"));
    auto first = NewUser("bob");
    first->UserName = "first";
    auto second = NewUser("BOB");
    second->UserName = "second";
    list.Add(first);
    list.Add(second);
    EXPECT_EQ(Logins(list), (std::vector<std::string>{"alice", "Bob", "bob", "BOB", "carol"}));
    EXPECT_EQ(list.IndexOf("bOb"), 1);
    EXPECT_EQ(list.FindUser("BOB")->Login, "Bob");
    EXPECT_EQ(list.FindUser("bob "), nullptr); // no trimming
    EXPECT_EQ(list.FindUser("dave"), nullptr);
    EXPECT_EQ(list.IndexOf(""), -1);
}

TEST(UserList, DeletedAccountStaysValidForItsHolder)
{
    UserList list;
    list.Add(NewUser("bob"));
    std::shared_ptr<TUser> session = list.FindUser("bob");
    list.Remove(0);
    list.Remove(5); // out of range: ignored
    EXPECT_TRUE(list.Empty());
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Login, "bob");
}

} // namespace
} // namespace zd

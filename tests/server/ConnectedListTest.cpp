#include "server/ConnectedList.hpp"

#include "server/TContextData.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

std::shared_ptr<TContextData> Context()
{
    return std::make_shared<TContextData>(std::weak_ptr<ServedConnection>());
}

TEST(ConnectedList, SessionAndStreamEntries)
{
    ConnectedList list;
    auto bobUser = NewUser("bob");
    bobUser->UserName = "Morning show";
    auto annUser = NewUser("ann");
    auto bob = Context();
    auto ann = Context();
    int slot = 0;
    auto* player = reinterpret_cast<TPlayer*>(&slot); // only compared, never used

    list.AddSession(bob, *bobUser);
    list.AddStream("Audio: bob - Stream 1", player);
    list.AddSession(ann, *annUser);
    EXPECT_EQ(list.Texts(), (std::vector<std::string>{"bob - Morning show", "Audio: bob - Stream 1", "ann - "}));
    EXPECT_FALSE(list[0].IsStream());
    EXPECT_TRUE(list[1].IsStream());

    EXPECT_EQ(list.FindSessionEntry(ann.get()), 2);
    EXPECT_EQ(list.FindSessionEntry(Context().get()), -1);
    EXPECT_EQ(list.FindStreamEntry(player), 1);
    EXPECT_EQ(list.FindSessionByLogin("bob"), bob);
    EXPECT_EQ(list.FindSessionByLogin("ann"), ann);
    EXPECT_EQ(list.FindSessionByLogin("Bob"), nullptr); // case significant
    EXPECT_EQ(list.FindSessionByLogin("bo"), nullptr);  // whole login before " - "
    EXPECT_EQ(list.FindSessionByLogin("Audio: bob"), nullptr);

    list.RemoveEntry(0);
    list.RemoveEntry(9); // ignored
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.FindSessionByLogin("bob"), nullptr);
    EXPECT_EQ(list.FindSessionEntry(ann.get()), 1);
}

TEST(ConnectedList, EntriesAreToldApartByWhatTheyHoldNotByTheirText)
{
    ConnectedList list;
    auto studioUser = NewUser("Audio: studio");
    auto aUser = NewUser("a");
    auto abUser = NewUser("a - b");
    abUser->UserName = "Evening\r\nforged line";
    auto studio = Context();
    auto a = Context();
    auto ab = Context();
    list.AddSession(ab, *abUser);
    list.AddSession(studio, *studioUser);
    list.AddSession(a, *aUser);

    EXPECT_FALSE(list[1].IsStream());
    EXPECT_EQ(list.FindSessionEntry(studio.get()), 1);
    EXPECT_EQ(list.FindSessionByLogin("Audio: studio"), studio);
    EXPECT_EQ(list.FindSessionByLogin("a"), a);
    EXPECT_EQ(list.FindSessionByLogin("a - b"), ab);
    EXPECT_EQ(list.Texts()[0], "a - b - Evening??forged line");
}

} // namespace
} // namespace zd

#include "server/TUser.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace zd {
namespace {

std::uint8_t At(const TUser::Record& record, std::size_t offset)
{
    return std::to_integer<std::uint8_t>(record[offset]);
}

std::string TextAt(const TUser::Record& record, std::size_t offset)
{
    return std::string(reinterpret_cast<const char*>(record.data() + offset + 1), At(record, offset));
}

TEST(TUserRecord, EveryFieldLiesAtItsOffset)
{
    static_assert(TUser::kRecordSize == 522);
    TUser user;
    user.Login = "bob";
    user.Password = "Secret";
    user.UserName = "Bob the presenter";
    user.RestrictIP = "192.168.1.*";
    user.Enabled = 0;
    user.VTMarkersOnly = 1;
    user.DayAllowed.fill(0);
    user.DayAllowed[6] = 1;
    user.HourAllowed.fill(0);
    user.HourAllowed[0] = 1;
    user.HourAllowed[167] = 1;
    user.MoveTracks = 1;
    user.SpotDelete = 1;
    user.FullInsert = 1;
    user.Separation = 0;
    user.Categories = "Jazz;Rock";
    user.ExcludeCategories = 1;
    user.TimingTool = 0;
    user.LocalTracks = 1;
    user.DSP = 0;
    user.LimitVT = 1;

    const TUser::Record record = user.ToRecord();
    ASSERT_EQ(record.size(), 522u);
    EXPECT_EQ(TextAt(record, 0), "bob");
    EXPECT_EQ(TextAt(record, 16), "Secret");
    EXPECT_EQ(TextAt(record, 32), "Bob the presenter");
    EXPECT_EQ(TextAt(record, 64), "192.168.1.*");
    EXPECT_EQ(At(record, 80), 0);  // Enabled
    EXPECT_EQ(At(record, 81), 1);  // VTMarkersOnly
    for (std::size_t d = 0; d < 7; ++d)
        EXPECT_EQ(At(record, 82 + d), d == 6 ? 1 : 0) << "day " << d;
    EXPECT_EQ(At(record, 89), 1);       // Monday 0:00
    EXPECT_EQ(At(record, 90), 0);
    EXPECT_EQ(At(record, 89 + 167), 1); // Sunday 23:00
    EXPECT_EQ(At(record, 257), 1); // MoveTracks
    EXPECT_EQ(At(record, 258), 1); // SpotDelete
    EXPECT_EQ(At(record, 259), 1); // FullInsert
    EXPECT_EQ(At(record, 260), 0); // Separation
    EXPECT_EQ(TextAt(record, 261), "Jazz;Rock");
    EXPECT_EQ(At(record, 517), 1); // ExcludeCategories
    EXPECT_EQ(At(record, 518), 0); // TimingTool
    EXPECT_EQ(At(record, 519), 1); // LocalTracks
    EXPECT_EQ(At(record, 520), 0); // DSP
    EXPECT_EQ(At(record, 521), 1); // LimitVT

    TUser back;
    back.FromRecord(record);
    EXPECT_EQ(back.ToRecord(), record);
}

TEST(TUserRecord, DefaultsAndShortRecords)
{
    const TUser::Record defaults = TUser().ToRecord();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        const bool one = i == 80 || (i >= 82 && i < 257) || i == 260 || i == 518 || i == 520;
        EXPECT_EQ(At(defaults, i), one ? 1 : 0) << "offset " << i;
    }

    // A 200-byte record reaches into the hour grid; the rest keeps the defaults.
    TUser stored;
    stored.Login = "ann";
    stored.HourAllowed.fill(0);
    stored.DSP = 0;
    const TUser::Record full = stored.ToRecord();
    TUser user;
    user.FromRecord(std::span(full).first(200));
    EXPECT_EQ(user.Login, "ann");
    EXPECT_EQ(user.HourAllowed[200 - 89 - 1], 0);
    EXPECT_EQ(user.HourAllowed[200 - 89], 1);
    EXPECT_EQ(user.DSP, 1);
}

TEST(TUserRecord, TextsAreCutToTheirCapacity)
{
    TUser user;
    user.Login = std::string(20, 'L');
    user.UserName = std::string(40, 'N');
    user.Categories = std::string(300, 'c');
    const TUser::Record record = user.ToRecord();
    EXPECT_EQ(At(record, 0), 15);
    EXPECT_EQ(At(record, 32), 31);
    EXPECT_EQ(At(record, 261), 255);
    EXPECT_EQ(At(record, 16), 0);

    // A damaged length byte above the capacity reads as the capacity.
    TUser::Record damaged = record;
    damaged[64] = std::byte{200};
    TUser back;
    back.FromRecord(damaged);
    EXPECT_EQ(back.RestrictIP.size(), 15u);
    EXPECT_EQ(back.Login, std::string(15, 'L'));

    EXPECT_EQ(NewUser("a-login-longer-than-fifteen")->Login, "a-login-longer-");
}

} // namespace
} // namespace zd

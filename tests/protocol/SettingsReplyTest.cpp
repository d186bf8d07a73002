#include "protocol/SettingsReply.hpp"

#include "scheduler/SchedulerSettings.hpp"
#include "server/LocaleFormats.hpp"
#include "server/TUser.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zd {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> ReplyLines(const std::string& reply)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < reply.size()) {
        const auto end = reply.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(reply.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(SettingsReply, PermissionLine)
{
    struct Row {
        std::uint8_t limitVT;
        std::string vtLimit;
        bool value58;
        std::string expected;
    };
    for (const Row& row : {Row{1, "90", false, "000011010090"},
                           Row{0, "90", false, "000011010000"},
                           Row{1, "120", true, "000011011120"},
                           Row{1, "0", false, "000011010000"}}) {
        SCOPED_TRACE(row.expected);
        TUser user;
        user.LimitVT = row.limitVT;
        EXPECT_EQ(PermissionLine(user, row.value58, row.vtLimit), row.expected);
    }
    TUser all;
    all.FullInsert = all.VTMarkersOnly = all.MoveTracks = all.SpotDelete = 1;
    all.LocalTracks = 1;
    all.Separation = all.TimingTool = all.DSP = 0;
    EXPECT_EQ(PermissionLine(all, false, "45"), "111100100000");
}

TEST(SettingsReply, LinesInOrder)
{
    SchedulerSettings scheduler;
    scheduler.Value61 = "Station";
    scheduler.Value42 = 200;
    scheduler.Value3 = 7;
    int next = 0;
    for (auto* value : {&scheduler.Value7, &scheduler.Value74, &scheduler.Value40, &scheduler.Value28,
                        &scheduler.Value76, &scheduler.Value75, &scheduler.Value41, &scheduler.Value23,
                        &scheduler.Value24, &scheduler.Value25, &scheduler.Value26})
        *value = "v" + std::to_string(next++);
    scheduler.VoiceTrackFolder = "C:\\Cadmora\\VT\\";
    LocaleFormats locale;
    TUser user;
    user.DayAllowed[0] = 0; // Monday off, its hours stay allowed
    user.HourAllowed[24 + 5] = 0;
    user.LimitVT = 1;
    const UserGrant grant = GrantOf(user, false, "120");

    struct Row {
        const char* what;
        ColorsContent colors;
        std::vector<std::string> playlists;
        std::vector<std::string> tail; // the lines after the hour lines
    };
    for (const Row& row :
         {Row{"colours with a final line end", "c1\r\nc2\r\n", {"a.plg", "b.plg"}, {"c1", "c2", "2", "a.plg", "b.plg"}},
          Row{"colours without a final line end join the count", "c1\r\nc2", {"a.plg"}, {"c1", "c21", "a.plg"}},
          Row{"unreadable colours", "Error>Access denied", {}, {"Error>Access denied0"}},
          Row{"no colours file, no playlists", std::nullopt, {}, {"", "0"}},
          Row{"a name with high bytes goes as marked text",
              "", {"\xC3\xA9t\xC3\xA9.plg"}, {"1", "\x7F\xC3\xA9t\xC3\xA9.plg"}}}) {
        SCOPED_TRACE(row.what);
        const auto lines = ReplyLines(BuildSettingsReply(scheduler, locale, grant, row.colors, row.playlists));
        const std::size_t head = 15 + locale.ReplyLines().size();
        ASSERT_EQ(lines.size(), head + 8 + row.tail.size());
        EXPECT_THAT(std::vector(lines.begin(), lines.begin() + 15),
                    ElementsAre("Station", "200", "7", "v0", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8",
                                "v9", "v10", "C:\\Cadmora\\VT\\"));
        EXPECT_EQ(std::vector(lines.begin() + 15, lines.begin() + static_cast<long>(head)), locale.ReplyLines());
        EXPECT_EQ(lines[head], "000011010120");
        EXPECT_EQ(lines[head + 1], std::string(24, '0'));
        EXPECT_EQ(lines[head + 2], std::string(5, '1') + "0" + std::string(18, '1'));
        for (std::size_t day = 3; day <= 7; ++day)
            EXPECT_EQ(lines[head + day], std::string(24, '1'));
        EXPECT_EQ(std::vector(lines.begin() + static_cast<long>(head) + 8, lines.end()), row.tail);
    }
}

} // namespace
} // namespace zd

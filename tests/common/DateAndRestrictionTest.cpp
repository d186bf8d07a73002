#include "common/DateTime.hpp"
#include "common/DosTime.hpp"
#include "common/SongRestriction.hpp"
#include "common/StartupFacts.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

namespace zd {
namespace {

TDateTime At(int y, unsigned m, unsigned d, unsigned h = 12, unsigned n = 0)
{
    return *EncodeDateTime(y, m, d, h, n);
}

TEST(DateTime, DayNumbersAndParts)
{
    using namespace std::chrono;
    EXPECT_EQ(DayNumberOf(year{2000} / January / 1), 36526);
    EXPECT_EQ(DayNumberOf(year{2099} / December / 31), 73050);
    EXPECT_EQ(DayNumberOf(year{1899} / December / 30), 0);
    EXPECT_FALSE(EncodeDateTime(2023, 2, 29).has_value());
    const TDateTimeParts p = DecodeDateTime(At(2024, 2, 29, 23, 59) + 59.9994 / 86400.0);
    EXPECT_EQ(p.Year, 2024);
    EXPECT_EQ(p.Day, 29u);
    EXPECT_EQ(p.Second, 59u);
    EXPECT_EQ(p.Millisecond, 999u);
    // Rounded to the millisecond: a hair before midnight is the next day.
    EXPECT_EQ(DecodeDateTime(At(2024, 2, 29, 23, 59) + 59.9996 / 86400.0).Day, 1u);
    EXPECT_EQ(DecodeDateTime(At(2024, 1, 1)).DayOfWeek, 0u); // a Monday
    EXPECT_EQ(DecodeDateTime(-1.25).Hour, 6u);                 // 1899-12-29 06:00
}

TEST(DosTime, PackingAndConversion)
{
    EXPECT_EQ(PackDosDateTime(1980, 1, 1, 0, 0, 0), 0x00210000);
    EXPECT_EQ(PackDosDateTime(2024, 5, 17, 13, 45, 31), (44 << 25 | 5 << 21 | 17 << 16 | 13 << 11 | 45 << 5 | 15));
    EXPECT_EQ(PackDosDateTime(1979, 12, 31, 0, 0, 0), -1);
    EXPECT_EQ(PackDosDateTime(2108, 1, 1, 0, 0, 0), -1);
    EXPECT_DOUBLE_EQ(DosDateTimeToDateTime(0x00210000), 29221.0); // 1980-01-01
    const auto packed = static_cast<std::uint32_t>(PackDosDateTime(2024, 5, 17, 13, 45, 30));
    EXPECT_NEAR(DosDateTimeToDateTime(packed), At(2024, 5, 17, 13, 45) + 30.0 / 86400.0, 1e-9);
    EXPECT_EQ(DosDateTimeToDateTime(0), 0.0);          // month 0
    EXPECT_EQ(DosDateTimeToDateTime(0x0021F000), 0.0); // hour 30
    EXPECT_EQ(DosDateTimeToDateTime(0x025D0000), 0.0); // 1981-02-29
    EXPECT_GT(NowUtcDosDateTime(), 0x00210000);
    EXPECT_EQ(DosDateTimeOfUnix(0, false), -1); // 1970 has no DOS form
}

TEST(SongRestriction, LayoutIsPinned)
{
    TSongRestriction r;
    r.StartDate = 0x04030201;
    r.EndDate = 0x08070605;
    r.DeleteAfterEnd = 9;
    r.StartTime = 0x0D0C0B0A;
    r.EndTime = 0x11100F0E;
    r.Days[0] = {0x12, 0x16151413};
    r.Days[6] = {0x30, 0x34333231};
    const auto bytes = r.ToBytes();
    ASSERT_EQ(bytes.size(), 52u);
    for (std::size_t i = 0; i < 22; ++i)
        EXPECT_EQ(bytes[i], i + 1) << i;
    EXPECT_EQ(bytes[47], 0x30);
    EXPECT_EQ(bytes[48], 0x31);
    EXPECT_EQ(bytes[51], 0x34);
    const auto back = TSongRestriction::FromBytes(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->ToBytes(), bytes);
    EXPECT_FALSE(TSongRestriction::FromBytes(std::span<const std::uint8_t>(bytes.data(), 51)).has_value());

    const auto fresh = TSongRestriction{}.ToBytes();
    EXPECT_EQ(fresh[13], 0x7F); // 86399 = 0x0001517F
    EXPECT_EQ(fresh[14], 0x51);
    EXPECT_EQ(fresh[17], 1);
    EXPECT_EQ(fresh[18], 0xFF);
    EXPECT_EQ(fresh[21], 0x00);
}

TSongRestriction Range(std::uint32_t start, std::uint32_t end)
{
    TSongRestriction r;
    r.StartDate = start;
    r.EndDate = end;
    return r;
}

TEST(SongRestriction, DateForms)
{
    struct Case {
        const char* label;
        TSongRestriction restriction;
        TDateTime when;
        bool allowed;
    } const cases[] = {
        {"fresh record", TSongRestriction{}, At(2024, 7, 1), true},
        {"every year Dec-Jan, 15 Jan", Range(100001201, 100000131), At(2024, 1, 15), true},
        {"every year Dec-Jan, 20 Dec", Range(100001201, 100000131), At(2023, 12, 20), true},
        {"every year Dec-Jan, 31 Jan 23:59", Range(100001201, 100000131), At(2031, 1, 31, 23, 59), true},
        {"every year Dec-Jan, 15 Feb", Range(100001201, 100000131), At(2024, 2, 15), false},
        {"every year Dec-Jan, 30 Nov", Range(100001201, 100000131), At(2024, 11, 30), false},
        {"every month 10th-20th, inside", Range(100000010, 100000020), At(2025, 3, 15), true},
        {"every month 10th-20th, outside", Range(100000010, 100000020), At(2025, 3, 21), false},
        {"every month 10th-31st, end of April", Range(100000010, 100000031), At(2025, 4, 30), true},
        {"29 Feb start in a 28-day year is 1 March", Range(100000229, 100000310), At(2023, 2, 28), false},
        {"29 Feb start, 1 March", Range(100000229, 100000310), At(2023, 3, 1), true},
        {"29 Feb start in a leap year", Range(100000229, 100000310), At(2024, 2, 29), true},
        {"fixed year range", Range(120240301, 120240331), At(2024, 3, 31), true},
        {"fixed year range, next year", Range(120240301, 120240331), At(2025, 3, 15), false},
        {"plain day numbers", Range(45000, 45010), 45005.5, true},
        {"plain day numbers, after", Range(45000, 45010), 45011.5, false},
        {"no end date", Range(45000, 0), At(2099, 12, 31), true},
        {"plain start with every-year end", Range(45000, 100000000), At(2090, 1, 1), true},
        {"before 2000 never", Range(0, 0), At(1999, 12, 31), false},
        {"not a time", TSongRestriction{}, std::nan(""), false},
    };
    for (const auto& c : cases) {
        bool afterEnd = false;
        EXPECT_EQ(RestrictionAllows(c.restriction, c.when, afterEnd), c.allowed) << c.label;
    }
}

TEST(SongRestriction, TimesDaysAndHours)
{
    TSongRestriction r;
    for (auto& day : r.Days)
        day = {1, 0x00FFFFFF};
    r.Days[0] = {1, 1u << 23}; // Monday: hour 0 only
    r.Days[6].DayEnabled = 0;  // Sunday: never
    struct Case {
        TDateTime when;
        bool allowed;
    } const cases[] = {
        {At(2024, 1, 1, 0, 0), true},   // Monday 00:00
        {At(2024, 1, 1, 0, 59), true},  // Monday 00:59
        {At(2024, 1, 1, 1, 0), false},  // Monday 01:00
        {At(2024, 1, 1, 23, 30), false},
        {At(2024, 1, 2, 5, 0), true},   // Tuesday
        {At(2024, 1, 7, 12, 0), false}, // Sunday
    };
    for (const auto& c : cases) {
        bool afterEnd = false;
        EXPECT_EQ(RestrictionAllows(r, c.when, afterEnd), c.allowed) << c.when;
    }

    TSongRestriction timed = Range(45000, 45000);
    timed.StartTime = 8 * 3600;
    timed.EndTime = 17 * 3600;
    bool afterEnd = false;
    EXPECT_FALSE(RestrictionAllows(timed, 45000 + 7.0 / 24, afterEnd));
    EXPECT_FALSE(afterEnd);
    EXPECT_TRUE(RestrictionAllows(timed, 45000 + 12.0 / 24, afterEnd));
    EXPECT_FALSE(RestrictionAllows(timed, 45000 + 18.0 / 24, afterEnd));
    EXPECT_TRUE(afterEnd);
}

TEST(StartupFacts, ProxyAndVersion)
{
    struct Case {
        const char* setting;
        const char* host;
        int port;
    } const cases[] = {
        {"http://proxy.local:3128/", "proxy.local", 3128},
        {"user:pw@10.0.0.1:8080", "10.0.0.1", 8080},
        {"proxy", "proxy", 0},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        std::string host;
        int port = -1;
        ParseProxySetting(c.setting, host, port);
        EXPECT_EQ(host, c.host) << c.setting;
        EXPECT_EQ(port, c.port) << c.setting;
    }
    const TStartupFacts facts = GatherStartupFacts();
    EXPECT_GT(facts.OsMajor, 0);
    EXPECT_FALSE(facts.HasMediaFoundation);
    EXPECT_EQ(FileVersionText(""), ZODAVIZI_VERSION ".0");
    EXPECT_EQ(FileVersionText("/nonexistent/file.dll"), "");

    // An executable with a fixed version record: signature, structure
    // version 1.0, file version 6.0 / 1.2.
    std::string image = "MZ" + std::string(62, '\0');
    const unsigned char record[] = {0xBD, 0x04, 0xEF, 0xFE, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x06, 0x00, 0x02, 0x00, 0x01, 0x00};
    image.append(reinterpret_cast<const char*>(record), sizeof record);
    const std::string path = ::testing::TempDir() + "zd-version-test.dll";
    std::ofstream(path, std::ios::binary) << image;
    EXPECT_EQ(FileVersionText(path), "6.0.1.2");
    std::ofstream(path, std::ios::binary) << "#!/bin/sh\n";
    EXPECT_EQ(FileVersionText(path), "");
    std::remove(path.c_str());
}

} // namespace
} // namespace zd

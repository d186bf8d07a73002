#include "server/LocaleFormats.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zd {
namespace {

TEST(LocaleFormats, PicturesFromStrftimeFormats)
{
    struct Case {
        const char* format;
        const char* picture;
    } const cases[] = {
        {"%m/%d/%y", "MM/dd/yy"},
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%Y-%m-%d", "yyyy-MM-dd"},
        {"%e %B %Y", "d MMMM yyyy"},
        {"%a %d %b %Y", "ddd dd MMM yyyy"},
        {"%H:%M:%S", "HH:mm:ss"},
        {"%I:%M:%S %p", "hh:mm:ss AMPM"},
        {"%l:%M %p", "h:mm AMPM"},
        {"%T %Z", "HH:mm:ss"}, // the zone has no letter and is left out
        {"%r", "hh:mm:ss AMPM"},
        {"%Ey", "yy"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PictureFromStrftime(c.format), c.picture) << c.format;
    EXPECT_EQ(PictureFromStrftime("%r", "%l:%M:%S %p"), "h:mm:ss AMPM");
}

TEST(LocaleFormats, FormatsWithAPicture)
{
    LocaleFormats names;
    names.ShortMonthNames[2] = "Mar";
    names.LongMonthNames[2] = "March";
    names.ShortDayNames[4] = "Thu";
    names.LongDayNames[4] = "Thursday";
    std::tm time{};
    time.tm_year = 126;
    time.tm_mon = 2;
    time.tm_mday = 5;
    time.tm_wday = 4;
    time.tm_hour = 15;
    time.tm_min = 4;
    time.tm_sec = 9;
    EXPECT_EQ(FormatDatePicture("d/M/yy", time, names), "5/3/26");
    EXPECT_EQ(FormatDatePicture("dddd, MMMM dd, yyyy", time, names), "Thursday, March 05, 2026");
    EXPECT_EQ(FormatDatePicture("ddd MMM", time, names), "Thu Mar");
    EXPECT_EQ(FormatDatePicture("h:mm:ss tt", time, names), "3:04:09 PM");
    EXPECT_EQ(FormatDatePicture("h:mm:ss AMPM", time, names), "3:04:09 PM");
    EXPECT_EQ(FormatDatePicture("hh:mm ampm", time, names), "03:04 PM");
    EXPECT_EQ(FormatDatePicture("HH'h'mm", time, names), "15h04");
}

// The reply's texts of real locales go out in the code page (Windows-1252),
// marked where it cannot hold them. The test script generates these locales.
TEST(LocaleFormats, FrenchAndGermanTextsGoOutInTheCodePage)
{
    struct Case {
        const char* locale;
        const char* thousands;
        const char* shortDate;
        const char* march;
        const char* december;
    } const cases[] = {
        // U+202F (narrow no-break space) has no place in Windows-1252.
        {"fr_FR.UTF-8", "\x7F\xE2\x80\xAF", "dd/MM/yyyy", "mars", "d\xE9\x63" "embre"},
        {"de_DE.UTF-8", ".", "dd.MM.yyyy", "M\xE4rz", "Dezember"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        ::setenv("LC_ALL", c.locale, 1);
        const LocaleFormats formats = CaptureLocaleFormats();
        ::unsetenv("LC_ALL");
        if (formats.LongMonthNames[0] == "January")
            GTEST_SKIP() << c.locale << " is not installed";
        const std::vector<std::string> lines = formats.ReplyLines();
        EXPECT_EQ(lines[2], c.thousands);
        EXPECT_EQ(lines[8], "\x80");  // the euro sign
        EXPECT_EQ(lines[9], c.shortDate);
        EXPECT_EQ(lines[14], "HH:mm:ss");
        EXPECT_EQ(lines[27 + 2], c.march);
        EXPECT_EQ(lines[27 + 11], c.december);
    }
}

TEST(LocaleFormats, CapturedFromThePosixLocaleInReplyOrder)
{
    ::setenv("LC_ALL", "C", 1);
    const LocaleFormats formats = CaptureLocaleFormats();
    ::unsetenv("LC_ALL");
    const std::vector<std::string> lines = formats.ReplyLines();
    ASSERT_EQ(lines.size(), 15u + 12 + 12 + 7 + 7 + 1);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 15);
    EXPECT_EQ(head, (std::vector<std::string>{"0", "1", ",", ".", "2", "/", ":", ",", "$", "MM/dd/yy",
                                              "dddd, MMMM d, yyyy", "AM", "PM", "HH:mm", "HH:mm:ss"}));
    EXPECT_EQ(lines[15], "Jan");
    EXPECT_EQ(lines[26], "Dec");
    EXPECT_EQ(lines[27], "January");
    EXPECT_EQ(lines[39], "Sun"); // days start on Sunday
    EXPECT_EQ(lines[46], "Sunday");
    EXPECT_EQ(lines[52], "Saturday");
    EXPECT_EQ(lines.back(), "50");
}

} // namespace
} // namespace zd

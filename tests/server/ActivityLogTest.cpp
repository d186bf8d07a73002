#include "FormFixture.hpp"

#include "common/Error.hpp"
#include "server/LocaleFormats.hpp"

#include <fstream>
#include <sstream>

namespace zd::test {
namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(ActivityLogLine, DateCommaTimeSpaceText)
{
    LocaleFormats formats;
    formats.ShortDateFormat = "dd/MM/yyyy";
    EXPECT_EQ(ActivityLog::FormatLine(formats, At(2026, 3, 5, 7, 8, 9), "User bob connected"),
              "05/03/2026,07:08:09 User bob connected");
    formats.ShortDateFormat = "M/d/yy";
    EXPECT_EQ(ActivityLog::FormatLine(formats, At(2026, 12, 31, 23, 59, 0), "**** x"),
              "12/31/26,23:59:00 **** x");
}

class Logging : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        form_->GetHooks().LocalClock = [] { return At(2026, 3, 5, 14, 2, 3); };
    }
};

TEST_F(Logging, DroppedWhileTheTimerIsOffTrimmedWhileOn)
{
    form_->LogEvent("during start-up");
    EXPECT_TRUE(form_->Log().Lines().empty());

    main_.StartTimer();
    form_->Page().SetLoading(false);
    for (int i = 1; i <= 101; ++i)
        form_->LogEvent("line " + std::to_string(i));
    ASSERT_EQ(form_->Log().Lines().size(), 100u);
    EXPECT_EQ(form_->Log().Lines().front(), "3/5/2026,14:02:03 line 2");
    EXPECT_EQ(form_->Log().Lines().back(), "3/5/2026,14:02:03 line 101");

    // A changed size takes effect at the next line.
    form_->Page().SetMaxLogEntries(300);
    for (int i = 0; i < 50; ++i)
        form_->LogEvent("more");
    form_->Page().SetMaxLogEntries(120);
    EXPECT_EQ(form_->Log().Lines().size(), 150u);
    form_->LogEvent("next");
    EXPECT_EQ(form_->Log().Lines().size(), 120u);

    main_.StopTimer();
    form_->LogEvent("after stop");
    EXPECT_EQ(form_->Log().Lines().back(), "3/5/2026,14:02:03 next");
}

TEST_F(Logging, SavedWithCrLfAndCleared)
{
    main_.StartTimer();
    form_->LogEvent("first");
    form_->LogEvent("**** second");
    const auto path = root_.Path() / "ZODaviziLog.txt";
    form_->SaveLog(path.string());
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    EXPECT_EQ(bytes.str(), "3/5/2026,14:02:03 first\r\n3/5/2026,14:02:03 **** second\r\n");
    EXPECT_THROW(form_->SaveLog((root_.Path() / "missing" / "log.txt").string()), FileError);
    form_->ClearLog();
    EXPECT_TRUE(form_->Log().Lines().empty());
}

TEST_F(Logging, PeriodicCheckSavesAtTheTenthMinute)
{
    std::tm clock = At(2026, 3, 5, 14, 9, 0);
    form_->GetHooks().LocalClock = [&] { return clock; };
    form_->Page().SetLoading(false);
    main_.SetTimerInterval(MainForm::kFirstTickWithoutUsers);
    main_.StartTimer();
    form_->Page().SetVisibleAtStartup(false);
    ASSERT_TRUE(form_->Page().SettingsChanged());
    const auto file = root_.Path() / "Data" / "ZODavizi.dat";

    form_->CheckTime();
    EXPECT_EQ(main_.TimerInterval(), MainForm::kTimerInterval);
    EXPECT_TRUE(main_.TimerEnabled());
    EXPECT_FALSE(std::filesystem::exists(file));

    clock.tm_min = 10;
    form_->CheckTime();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(form_->Page().SettingsChanged());
}

} // namespace
} // namespace zd::test

#include "FormFixture.hpp"

#include "scheduler/SchedulerSettings.hpp"

#include <fstream>

namespace zd::test {
namespace {

class SchedulerReload : public FormFixture {
protected:
    void WriteSettingsFile(const std::string& value7, int items = 130)
    {
        std::string line;
        for (int i = 0; i < items; ++i)
            line += (i ? "," : "") + (i == 7 ? value7 : std::string("1"));
        std::ofstream(root_.Path() / "Data" / "VRNCadmora.dat") << line << "\r\n";
    }
    void CheckAt(int hour)
    {
        form_->GetHooks().LocalClock = [hour] {
            std::tm now{};
            now.tm_hour = hour;
            now.tm_min = 1;
            return now;
        };
        form_->CheckTime();
    }
    static std::string Value7() { return CurrentSchedulerSettings()->Value7; }
};

TEST_F(SchedulerReload, TheTimerReloadsAtEachChangeOfTheHourAndKeepsOldValuesOnFailure)
{
    SetSchedulerDataFolder((root_.Path() / "Data").string() + "/");
    WriteSettingsFile("first");
    ASSERT_TRUE(LoadSchedulerSettings());

    WriteSettingsFile("second");
    CheckAt(5);
    EXPECT_EQ(Value7(), "second");

    WriteSettingsFile("third");
    CheckAt(5);  // same hour: no reload
    EXPECT_EQ(Value7(), "second");

    WriteSettingsFile("fourth", 7);  // damaged: ends before value 7
    CheckAt(6);
    EXPECT_EQ(Value7(), "second");
    CheckAt(7);
    EXPECT_EQ(Value7(), "second");

    WriteSettingsFile("fifth");
    CheckAt(8);
    EXPECT_EQ(Value7(), "fifth");
}

} // namespace
} // namespace zd::test

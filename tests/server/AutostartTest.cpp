#include "FormFixture.hpp"

#include "platform/Autostart.hpp"

#include <fstream>
#include <sstream>

namespace zd::test {
namespace {

class AutostartTest : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        ::setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
        form_->Page().SetLoading(false);
    }
    void TearDown() override
    {
        FormFixture::TearDown();
        ::unsetenv("XDG_CONFIG_HOME");
    }

    testsupport::TempFolder config_;
};

TEST_F(AutostartTest, TickingWritesTheEntryAndUntickingRemovesIt)
{
    const Autostart entry(form_->RootFolder(), ExecutablePath());
    ASSERT_EQ(entry.Path().rfind(config_.Path().string() + "/autostart/zodavizi-", 0), 0u);
    form_->Page().SetAutoLoad(true);
    ASSERT_TRUE(entry.Exists());
    std::stringstream text;
    text << std::ifstream(entry.Path()).rdbuf();
    EXPECT_NE(text.str().find("\nExec=" + ExecutablePath() + " /a \"" + form_->RootFolder() + "\"\n"),
              std::string::npos) << text.str();
    EXPECT_TRUE(form_->Page().SettingsChanged());

    form_->Page().SetAutoLoad(false);
    EXPECT_FALSE(entry.Exists());
    EXPECT_FALSE(form_->Page().AutoLoad());

    // An entry that cannot be removed ticks the option again.
    std::filesystem::create_directories(entry.Path() + "/blocked");
    form_->Page().SetAutoLoad(false);
    EXPECT_TRUE(form_->Page().AutoLoad());
}

TEST(DesktopExecArgument, QuotesAndEscapesWhatTheFormatReserves)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/opt/zodavizi/zodavizi", "/opt/zodavizi/zodavizi"},
        {"/srv/My Station/", "\"/srv/My Station/\""},
        {"/srv/a\"b$c`d\\e/", "\"/srv/a\\\"b\\$c\\`d\\\\e/\""},
        {"/srv/100%/", "/srv/100%%/"},
        {"", "\"\""},
    };
    for (const auto& [argument, expected] : cases)
        EXPECT_EQ(DesktopExecArgument(argument), expected) << argument;
}

} // namespace
} // namespace zd::test

#include "FormFixture.hpp"

namespace zd::test {
namespace {

TEST(OptionsPage, NumericEditsKeepOnlyDigitsAndBackspace)
{
    for (char key = 0; key < 127; ++key) {
        const bool kept = key == 8 || (key >= '0' && key <= '9');
        EXPECT_EQ(OptionsPage::NumericKeyPress(key), kept) << static_cast<int>(key);
    }
}

TEST_F(FormFixture, EditsMarkChangesOnlyAfterLoading)
{
    OptionsPage& page = form_->Page();
    page.SetVTLimit(90);
    page.SetPortText("2424");
    EXPECT_FALSE(page.SettingsChanged()); // still loading
    EXPECT_EQ(page.Port(), 2424);

    page.SetLoading(false);
    page.SetMaxLogEntries(50); // kept within its range
    EXPECT_TRUE(page.SettingsChanged());
    EXPECT_EQ(page.MaxLogEntries(), 100);
    page.SetPortText("80x");
    EXPECT_EQ(page.Port(), 0); // text that does not parse
}

TEST_F(FormFixture, PortChangeWaitsForTheNextActivation)
{
    Start();
    const std::uint16_t bound = form_->BoundPort();
    form_->Page().SetPortText("2525");
    EXPECT_EQ(form_->BoundPort(), bound);
    EXPECT_EQ(form_->Page().TakeSettings().Port, 2525);
}

TEST_F(FormFixture, SettingsShownAndTakenKeepTheReservedFields)
{
    Settings stored;
    stored.Reserved1 = 7;
    stored.Reserved30[80] = 9;
    stored.Port = 3000;
    stored.BitrateIndex = 3;
    stored.MasterPassword = "old";
    stored.FormatVersion = 601;
    OptionsPage& page = form_->Page();
    page.ShowSettings(stored);
    EXPECT_EQ(page.PortText(), "3000");
    EXPECT_EQ(page.MasterPassword(), "old");
    page.SetLoading(false);
    page.SetMasterPassword("  a-password-of-twenty  ");
    page.SetServerEnabled(false);

    const Settings taken = page.TakeSettings();
    EXPECT_EQ(taken.Reserved1, 7);
    EXPECT_EQ(taken.Reserved30[80], 9);
    EXPECT_EQ(taken.Port, 3000);
    EXPECT_EQ(taken.BitrateIndex, 3);
    EXPECT_FALSE(taken.ServerEnabled);
    EXPECT_EQ(taken.MasterPassword, "a-password-of-t");

    Settings older = stored;
    older.FormatVersion = 600;
    page.ShowSettings(older);
    EXPECT_EQ(page.MasterPassword(), ""); // older files carry no password
}

} // namespace
} // namespace zd::test

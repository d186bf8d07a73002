#include "FormFixture.hpp"

#include "../e2e/RawClient.hpp"
#include "common/Texts.hpp"
#include "protocol/CommandSession.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include <fstream>
#include <future>

namespace zd::test {
namespace {

class UsersPageTest : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        form_->Page().SetLoading(false);
        form_->GetHooks().Confirm = [this](const MessageDialog& dialog) {
            questions_.push_back(dialog);
            return answer_;
        };
    }

    UsersPage& Page() { return form_->UsersScreen(); }

    std::shared_ptr<TUser> Add(const std::string& login)
    {
        Page().UserChange(login);
        Page().btAddUserClick();
        return form_->FindUser(TrimText(login));
    }

    std::vector<MessageDialog> questions_;
    bool answer_ = true;
};

TEST_F(UsersPageTest, AddingShowsTheNewAccountAndALoginInAnotherCaseIsIgnored)
{
    Page().UserChange("  ");
    EXPECT_FALSE(Page().AddEnabled());
    const auto anna = Add(" anna ");
    ASSERT_TRUE(anna);
    EXPECT_EQ(anna->Login, "anna");
    EXPECT_EQ(Page().ShownUser(), anna);
    EXPECT_EQ(Page().SelectedIndex(), 0);
    EXPECT_TRUE(Page().SelectionEnabled());
    EXPECT_EQ(Page().NewUserText(), "");
    EXPECT_TRUE(form_->Page().SettingsChanged()); // stored at the next save

    // The account's defaults on the controls.
    const UserControls& c = Page().Controls();
    EXPECT_TRUE(c.Enabled);
    EXPECT_TRUE(c[Permission::Separation] && c[Permission::TimingTool] && c[Permission::DSP]);
    EXPECT_FALSE(c[Permission::FullInsert] || c[Permission::LimitVT] || c[Permission::MoveTracks]);
    EXPECT_FALSE(Page().FullInsertDependentsEnabled());
    for (int day = 0; day < 7; ++day)
        EXPECT_TRUE(Page().HourRowEnabled(day));
    EXPECT_FALSE(Page().UserEdited());

    Page().UserChange("ANNA");
    EXPECT_TRUE(Page().AddEnabled());
    Page().btAddUserClick();
    EXPECT_EQ(form_->Users().Count(), 1u);
    EXPECT_EQ(Page().NewUserText(), "");
    EXPECT_EQ(Page().ShownUser(), anna);
}

TEST_F(UsersPageTest, EditsReachTheAccountWhenAnotherIsSelected)
{
    const auto bob = Add("bob");
    const auto anna = Add("anna");
    EXPECT_EQ(Page().Logins(), (std::vector<std::string>{"anna", "bob"}));
    form_->Page().SetSettingsChanged(false);

    Page().SetPassword("  secret-of-more-than-15  ");
    Page().SetUserName("Anna from the morning show, who reads news");
    Page().SetRestrictIP("192.168.1.*");
    Page().SetPermission(Permission::LimitVT, true);
    EXPECT_EQ(anna->Password, ""); // not yet committed
    EXPECT_TRUE(Page().UserEdited());

    Page().SelectUser(1); // bob
    EXPECT_EQ(anna->Password, "secret-of-more-");
    EXPECT_EQ(anna->UserName, "Anna from the morning show, who");
    EXPECT_EQ(anna->RestrictIP, "192.168.1.*");
    EXPECT_EQ(anna->LimitVT, 1);
    EXPECT_TRUE(form_->Page().SettingsChanged());
    EXPECT_EQ(Page().ShownUser(), bob);
    EXPECT_EQ(Page().Controls().Password, "");
    EXPECT_FALSE(Page().UserEdited()); // showing marks nothing

    // Nothing selected: nothing shown, the details disabled.
    Page().SelectUser(-1);
    EXPECT_EQ(Page().ShownUser(), nullptr);
    EXPECT_FALSE(Page().SelectionEnabled());
    EXPECT_FALSE(Page().HourRowEnabled(0));
    const unsigned focus = Page().FocusNewUserRequests();
    Page().PageControlChange(true);
    EXPECT_EQ(Page().FocusNewUserRequests(), focus + 1);
}

TEST_F(UsersPageTest, EditingALoginResortsTheListAndLookupsFollow)
{
    Add("bob");
    const auto anna = Add("anna");
    Page().SetLogin("  zoe ");
    Page().UserListClick();
    EXPECT_EQ(Page().Logins(), (std::vector<std::string>{"bob", "zoe"}));
    EXPECT_EQ(form_->FindUser("ZOE"), anna);
    EXPECT_EQ(form_->FindUser("anna"), nullptr);
    EXPECT_EQ(Page().SelectedIndex(), 1); // the selection follows the account

    // A login another account has, or an empty one, keeps the old login.
    for (const char* taken : {"BOB", " "}) {
        Page().SetLogin(taken);
        Page().UserListClick();
        EXPECT_EQ(anna->Login, "zoe") << taken;
        EXPECT_EQ(Page().Controls().Login, "zoe");
    }
    EXPECT_EQ(form_->Users().Count(), 2u);
}

TEST_F(UsersPageTest, AnUntickedDayDisablesItsRowKeepsItsTicksAndSendsZeros)
{
    const auto anna = Add("anna");
    Page().SetHour(1, 5, false);
    Page().DayClick(1, false); // Tuesday
    EXPECT_FALSE(Page().HourRowEnabled(1));
    EXPECT_TRUE(Page().HourRowEnabled(2));
    Page().CommitShownUser();
    EXPECT_EQ(anna->DayAllowed[1], 0);
    EXPECT_EQ(anna->HourAllowed[1 * 24 + 4], 1); // ticks kept under the unticked day
    EXPECT_EQ(anna->HourAllowed[1 * 24 + 5], 0);
    EXPECT_EQ(HourPermissionLine(*anna, 1), std::string(24, '0'));
    EXPECT_EQ(HourPermissionLine(*anna, 2), std::string(24, '1'));

    Page().btSelectAllClick();
    EXPECT_TRUE(Page().HourRowEnabled(1));
    Page().btDeselectAllClick();
    Page().CommitShownUser();
    EXPECT_EQ(HourPermissionLine(*anna, 0), std::string(24, '0'));
    EXPECT_EQ(anna->HourAllowed[0], 0);

    // Captions follow the locale's day names.
    Page().SetDayCaptions({"lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi", "dimanche"});
    EXPECT_EQ(Page().HourCaption(1, 23), "mardi 23");
}

TEST_F(UsersPageTest, FullInsertionEnablesItsSwitchesAndKeepsTheirValues)
{
    const auto anna = Add("anna");
    Page().SetPermission(Permission::Separation, false);
    Page().SetPermission(Permission::FullInsert, true);
    EXPECT_TRUE(Page().FullInsertDependentsEnabled());
    Page().SetPermission(Permission::MoveTracks, true);
    Page().cbFullInsertClick(false);
    EXPECT_FALSE(Page().FullInsertDependentsEnabled());
    EXPECT_TRUE(Page().Controls()[Permission::MoveTracks]);
    Page().CommitShownUser();
    EXPECT_EQ(anna->MoveTracks, 1);
    EXPECT_EQ(anna->Separation, 0);
    EXPECT_EQ(anna->FullInsert, 0);
    for (std::size_t i = 0; i < kPermissionCount; ++i) {
        const auto p = static_cast<Permission>(i);
        const bool dependent = p == Permission::Separation || p == Permission::SpotDelete
            || p == Permission::MoveTracks || p == Permission::TimingTool || p == Permission::VTMarkers
            || p == Permission::LimitVT;
        EXPECT_EQ(DependsOnFullInsert(p), dependent) << i;
    }
}

TEST_F(UsersPageTest, DeletingAsksAndLeavesNothingShown)
{
    Add("bob");
    const auto anna = Add("anna");
    Page().SetPassword("pending");

    answer_ = false;
    Page().btDeleteUserClick();
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].Title, "Confirm Deletion");
    EXPECT_EQ(questions_[0].Text, "Are you sure you wish to delete user anna?");
    EXPECT_EQ(questions_[0].Choice, MessageDialog::Buttons::OkCancel);
    EXPECT_EQ(form_->Users().Count(), 2u);

    answer_ = true;
    form_->Page().SetSettingsChanged(false);
    Page().btDeleteUserClick();
    EXPECT_EQ(form_->FindUser("anna"), nullptr);
    EXPECT_EQ(Page().ShownUser(), nullptr);
    EXPECT_EQ(Page().SelectedIndex(), -1);
    EXPECT_FALSE(Page().SelectionEnabled());
    EXPECT_FALSE(Page().UserEdited());
    EXPECT_TRUE(form_->Page().SettingsChanged());
    EXPECT_EQ(anna->Password, ""); // the pending edit went with the account
}

class CategoryPickerTest : public UsersPageTest {
protected:
    void SetUp() override
    {
        UsersPageTest::SetUp();
        const std::string data = (root_.Path() / "Data").string() + "/";
        SetSchedulerDataFolder(data);
        std::ofstream(data + "Categories.dat") << "Jazz,1\r\nRock,2\r\nPop,3\r\n";
        form_->GetHooks().ShowMessage = [this](const MessageDialog& dialog) { messages_.push_back(dialog); };
        form_->GetHooks().PickCategories = [this](CategoryPicker& picker) {
            shownNames_ = picker.Names();
            allWasTicked_ = picker.AllTicked();
            if (choose_)
                choose_(picker);
            return ok_;
        };
        anna_ = Add("anna");
    }

    std::shared_ptr<TUser> anna_;
    std::function<void(CategoryPicker&)> choose_;
    bool ok_ = true;
    std::vector<std::string> shownNames_;
    bool allWasTicked_ = false;
};

TEST_F(CategoryPickerTest, TicksFollowTheTextAndOkReplacesIt)
{
    choose_ = [](CategoryPicker& picker) {
        EXPECT_TRUE(picker.Ticked(0) && picker.Ticked(1) && picker.Ticked(2));
        picker.SetTicked(1, false);
        EXPECT_FALSE(picker.AllTicked());
        picker.SetExcluded(true);
    };
    Page().btCatSelClick();
    EXPECT_EQ(shownNames_, (std::vector<std::string>{"Jazz", "Rock", "Pop"}));
    EXPECT_TRUE(allWasTicked_);
    EXPECT_EQ(Page().Controls().Categories, "Jazz;Pop");
    EXPECT_TRUE(Page().Controls().Excluded);
    EXPECT_TRUE(Page().UserEdited());
    Page().CommitShownUser();
    EXPECT_EQ(anna_->Categories, "Jazz;Pop");
    EXPECT_EQ(anna_->ExcludeCategories, 1);

    // "Select All" gives the empty text; a cancelled picker changes nothing.
    choose_ = [](CategoryPicker& picker) {
        EXPECT_FALSE(picker.Ticked(1));
        EXPECT_TRUE(picker.Excluded());
        picker.SetTicked(1, true);
        EXPECT_TRUE(picker.AllTicked());
        picker.SetExcluded(false);
    };
    Page().btCatSelClick();
    EXPECT_EQ(Page().Controls().Categories, "");
    EXPECT_FALSE(Page().Controls().Excluded);
    ok_ = false;
    choose_ = [](CategoryPicker& picker) { picker.SetAllTicked(false); picker.SetExcluded(true); };
    Page().btCatSelClick();
    EXPECT_EQ(Page().Controls().Categories, "");
    EXPECT_FALSE(Page().Controls().Excluded);

    // Nothing ticked permits no category.
    ok_ = true;
    choose_ = [](CategoryPicker& picker) { picker.SetAllTicked(false); };
    Page().btCatSelClick();
    Page().CommitShownUser();
    EXPECT_FALSE(IsCategoryPermitted(*anna_, "Jazz"));
    EXPECT_FALSE(IsCategoryPermitted(*anna_, "Rock"));
}

TEST_F(CategoryPickerTest, ASelectionOver255CharactersIsRefused)
{
    // 66 names of 3 characters: 65 of them take 259 characters, 64 take 255.
    std::string lines;
    for (int i = 0; i < 66; ++i)
        lines += "N" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ",1\r\n";
    std::ofstream((root_.Path() / "Data" / "Categories.dat").string()) << lines;
    choose_ = [](CategoryPicker& picker) { picker.SetTicked(65, false); };
    Page().btCatSelClick();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].Text, "Too many categories selected");
    EXPECT_EQ(messages_[0].Detail, "The category names are limited to 255 characters.");
    EXPECT_EQ(messages_[0].Choice, MessageDialog::Buttons::Cancel);
    EXPECT_EQ(Page().Controls().Categories, "");
    EXPECT_FALSE(Page().UserEdited());

    choose_ = [](CategoryPicker& picker) {
        picker.SetTicked(64, false);
        picker.SetTicked(65, false);
    };
    Page().btCatSelClick();
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_EQ(Page().Controls().Categories.size(), 255u);
    Page().CommitShownUser();
    EXPECT_EQ(anna_->Categories.size(), 255u);
    EXPECT_TRUE(IsCategoryPermitted(*anna_, "N63"));
    EXPECT_FALSE(IsCategoryPermitted(*anna_, "N64"));
}

TEST_F(UsersPageTest, APasswordEditIsSeenByTheNextLogin)
{
    InstallCommandSession(*form_);
    Start();
    const auto anna = Add("anna");
    Page().SetPassword("first");
    Page().UserListClick();
    Page().SetPassword("second"); // pending when the client logs in

    const std::uint16_t port = form_->BoundPort();
    auto login = [port](const std::string& password) {
        return std::async(std::launch::async, [port, password] {
            e2e::RawClient client(port);
            return client.Login("anna", password);
        });
    };
    auto old = login("first");
    std::string reply;
    ASSERT_TRUE(WaitFor([&] { return old.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(old.get(), "Fail");
    auto fresh = login("second");
    ASSERT_TRUE(WaitFor([&] { return fresh.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(fresh.get(), "OK");
    EXPECT_EQ(anna->Password, "second");
}

} // namespace
} // namespace zd::test

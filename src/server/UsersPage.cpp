#include "server/UsersPage.hpp"

#include "common/Texts.hpp"
#include "common/Translate.hpp"
#include "scheduler/SharedFiles.hpp"
#include "server/MainForm.hpp"

namespace zd {

namespace {

// Sets Loading for the life of the object and puts the old value back.
class LoadingScope {
public:
    explicit LoadingScope(OptionsPage& page) : page_(page), was_(page.Loading()) { page_.SetLoading(true); }
    ~LoadingScope() { page_.SetLoading(was_); }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    OptionsPage& page_;
    bool was_;
};

std::string LoginOf(std::string_view text)
{
    return std::string(TrimText(text).substr(0, UsersPage::kLoginCapacity));
}

} // namespace

std::vector<std::string> UsersPage::Logins() const
{
    std::vector<std::string> logins;
    for (const auto& entry : form_.Users().Entries())
        logins.push_back(entry.login);
    return logins;
}

int UsersPage::IndexOf(const std::shared_ptr<TUser>& user) const noexcept
{
    return user ? form_.Users().IndexOfUser(user.get()) : -1;
}

int UsersPage::SelectedIndex() const noexcept
{
    return IndexOf(selected_);
}

bool UsersPage::AddEnabled() const noexcept
{
    return !TrimText(newUser_).empty();
}

bool UsersPage::HourRowEnabled(int day) const noexcept
{
    return SelectionEnabled() && day >= 0 && day < 7 && controls_.Days[static_cast<std::size_t>(day)];
}

bool UsersPage::FullInsertDependentsEnabled() const noexcept
{
    return SelectionEnabled() && controls_[Permission::FullInsert];
}

std::string UsersPage::HourCaption(int day, int hour) const
{
    return dayCaptions_.at(static_cast<std::size_t>(day)) + " " + std::to_string(hour);
}

void UsersPage::Notify()
{
    if (observer_)
        observer_();
}

void UsersPage::ForgetShownUser() noexcept
{
    shown_.reset();
    selected_.reset();
    userEdited_ = false;
}

void UsersPage::ShowUser()
{
    if (!selected_ || IndexOf(selected_) < 0) {
        selected_.reset();
        shown_.reset();
        return;
    }
    shown_ = selected_;
    LoadingScope loading(form_.Page());
    controls_ = UserControls::From(*shown_);
    // The day switches' handlers run so the rows follow them; the hour
    // rows are enabled from the day switches (HourRowEnabled).
    for (int day = 0; day < 7; ++day)
        DayClick(day, controls_.Days[static_cast<std::size_t>(day)]);
}

void UsersPage::CommitShownUser()
{
    if (!userEdited_)
        return;
    userEdited_ = false;
    if (!shown_)
        return;
    controls_.CopyTo(*shown_);
    RenameShownUser(LoginOf(controls_.Login));
    form_.Page().SetSettingsChanged(true);
    Notify();
}

void UsersPage::RenameShownUser(const std::string& login)
{
    const int index = IndexOf(shown_);
    if (index < 0 || login == shown_->Login)
        return;
    // An empty login, or one that another account has, keeps the old one.
    const int holder = form_.Users().IndexOf(login);
    if (login.empty() || (holder >= 0 && holder != index)) {
        controls_.Login = shown_->Login;
        return;
    }
    form_.Users().Rename(static_cast<std::size_t>(index), login);
}

void UsersPage::UserChange(std::string newUserText)
{
    newUser_ = std::move(newUserText);
    Notify();
}

void UsersPage::btAddUserClick()
{
    const std::string login = LoginOf(newUser_);
    if (!login.empty() && form_.Users().IndexOf(login) < 0) {
        CommitShownUser();
        std::shared_ptr<TUser> user = NewUser(login);
        form_.Users().Add(user);
        // A new account is stored at the next save even when it is not
        // edited further.
        form_.Page().SetSettingsChanged(true);
        selected_ = std::move(user);
        UserListClick();
    }
    newUser_.clear();
    Notify();
}

void UsersPage::btDeleteUserClick()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    const std::shared_ptr<TUser> user = selected_;
    const std::string login = form_.Users()[static_cast<std::size_t>(index)].login;
    MessageDialog question{Tr("Confirm Deletion"), Format(Tr("Are you sure you wish to delete user %s?"), {login}),
                           "", MessageDialog::Kind::Confirmation, MessageDialog::Buttons::OkCancel};
    const auto& confirm = form_.GetHooks().Confirm;
    if (!confirm || !confirm(question))
        return;
    if (shown_ == user) {
        shown_.reset();
        userEdited_ = false;
    }
    form_.Users().Remove(static_cast<std::size_t>(index));
    selected_.reset();
    form_.Page().SetSettingsChanged(true);
    // A deleted account keeps no connection: its session (and with it its
    // previews) is dropped.
    ConnectedList& connected = form_.Connected();
    for (std::size_t i = connected.Count(); i > 0; --i) {
        if (i - 1 >= connected.Count())
            continue;
        const ConnectedList::Entry& entry = connected[i - 1];
        if (!entry.IsStream() && entry.context && entry.context->User == user)
            form_.DisconnectEntry(static_cast<int>(i - 1));
    }
    UserListClick();
}

void UsersPage::SelectUser(int index)
{
    const auto& entries = form_.Users().Entries();
    selected_ = index >= 0 && static_cast<std::size_t>(index) < entries.size()
                    ? entries[static_cast<std::size_t>(index)].user
                    : nullptr;
    UserListClick();
}

void UsersPage::UserListClick()
{
    // Commit first: a renamed account moves in the list, the selection
    // follows the account.
    CommitShownUser();
    ShowUser();
    Notify();
}

void UsersPage::DayClick(int day, bool ticked)
{
    if (day < 0 || day >= 7)
        return;
    controls_.Days[static_cast<std::size_t>(day)] = ticked;
    DataChange();
}

void UsersPage::SetAllDaysAndHours(bool ticked)
{
    for (int day = 0; day < 7; ++day)
        DayClick(day, ticked);
    for (int hour = 0; hour < 168; ++hour)
        SetHour(hour / 24, hour % 24, ticked);
}

void UsersPage::btSelectAllClick()
{
    SetAllDaysAndHours(true);
    Notify();
}

void UsersPage::btDeselectAllClick()
{
    SetAllDaysAndHours(false);
    Notify();
}

void UsersPage::cbFullInsertClick(bool ticked)
{
    // The dependent controls keep their values; only their enabling follows.
    controls_[Permission::FullInsert] = ticked;
    DataChange();
}

void UsersPage::DataChange()
{
    if (!form_.Page().Loading())
        userEdited_ = true;
    Notify();
}

void UsersPage::PageControlChange(bool usersPageShown)
{
    if (usersPageShown && SelectedIndex() < 0) {
        ++focusRequests_;
        Notify();
    }
}

void UsersPage::btCatSelClick()
{
    std::vector<std::string> names = ReadCategoryNames(false);
    picker_.Fill(std::move(names), controls_.Categories, controls_.Excluded);
    const auto& pick = form_.GetHooks().PickCategories;
    if (!pick || !pick(picker_))
        return;
    std::string text = picker_.Selection();
    bool excluded = picker_.Excluded();
    // No name ticked means no category: an empty list is "every category"
    // for "Included", so the choice flips to keep what the operator saw.
    if (!picker_.AllTicked() && text.empty() && !picker_.Names().empty())
        excluded = !excluded;
    if (text.size() > TUser::kCategoriesCapacity) {
        MessageDialog refusal{Tr("Error"), Tr("Too many categories selected"),
                              Tr("The category names are limited to 255 characters."),
                              MessageDialog::Kind::Error, MessageDialog::Buttons::Cancel};
        if (form_.GetHooks().ShowMessage)
            form_.GetHooks().ShowMessage(refusal);
        return;
    }
    if (text != controls_.Categories || excluded != controls_.Excluded) {
        controls_.Categories = std::move(text);
        controls_.Excluded = excluded;
        DataChange();
    }
    Notify();
}

void UsersPage::SetUserEnabled(bool ticked) { controls_.Enabled = ticked; DataChange(); }
void UsersPage::SetLogin(std::string text) { controls_.Login = std::move(text); DataChange(); }
void UsersPage::SetPassword(std::string text) { controls_.Password = std::move(text); DataChange(); }
void UsersPage::SetUserName(std::string text) { controls_.UserName = std::move(text); DataChange(); }
void UsersPage::SetRestrictIP(std::string text) { controls_.RestrictIP = std::move(text); DataChange(); }

void UsersPage::SetPermission(Permission permission, bool ticked)
{
    if (permission == Permission::FullInsert) {
        cbFullInsertClick(ticked);
        return;
    }
    controls_[permission] = ticked;
    DataChange();
}

void UsersPage::SetHour(int day, int hour, bool ticked)
{
    if (day < 0 || day >= 7 || hour < 0 || hour >= 24)
        return;
    controls_.Hours[static_cast<std::size_t>(day * 24 + hour)] = ticked;
    DataChange();
}

} // namespace zd

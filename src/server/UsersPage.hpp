#pragma once

#include "server/CategoryPicker.hpp"
#include "server/TUser.hpp"
#include "server/UserControls.hpp"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zd {

class MainForm;

// The Users page as an object: the list selection, the new-user text, the
// values of the account controls, the account shown and the mark of an
// edit not yet committed to it, with the page's event handlers. The window
// binds to it (and redraws when the observer is called); tests use it
// alone. Main thread only.
class UsersPage {
public:
    static constexpr std::size_t kLoginCapacity = 15;

    explicit UsersPage(MainForm& form) noexcept : form_(form) {}

    // Called after every handler that changed what the page shows.
    void SetObserver(std::function<void()> changed) { observer_ = std::move(changed); }

    // What the widgets show.
    std::vector<std::string> Logins() const;            // UserList, in list order
    int SelectedIndex() const noexcept;                 // -1: nothing selected
    const std::string& NewUserText() const noexcept { return newUser_; }
    bool AddEnabled() const noexcept;                   // "Add"
    // "Delete", "Select All", "Deselect All", the details, the day switches
    // and the hour grid are enabled exactly when an account is selected.
    bool SelectionEnabled() const noexcept { return SelectedIndex() >= 0; }
    bool HourRowEnabled(int day) const noexcept;        // the day switch is ticked
    bool FullInsertDependentsEnabled() const noexcept;  // "Full Insertion and Editing" ticked
    const UserControls& Controls() const noexcept { return controls_; }
    // The day switches' captions (the locale's long day names, Monday
    // first) and an hour switch's caption ("<day> <hour>").
    const std::array<std::string, 7>& DayCaptions() const noexcept { return dayCaptions_; }
    std::string HourCaption(int day, int hour) const;
    void SetDayCaptions(const std::array<std::string, 7>& captions) { dayCaptions_ = captions; }
    // Grows each time the focus should go to the new-user text.
    unsigned FocusNewUserRequests() const noexcept { return focusRequests_; }
    CategoryPicker& Picker() noexcept { return picker_; }

    bool UserEdited() const noexcept { return userEdited_; }
    void SetUserEdited(bool edited) noexcept { userEdited_ = edited; }
    const std::shared_ptr<TUser>& ShownUser() const noexcept { return shown_; }

    // Start-up and file loading: nothing selected or shown, no pending edit.
    void ForgetShownUser() noexcept;

    // Copies the selected account onto the controls (nothing selected:
    // nothing shown). Marks nothing.
    void ShowUser();
    // Pending edits into the shown account (texts trimmed and cut, the
    // login renamed in the sorted list when it changed and is free), then
    // SettingsChanged; the mark is cleared either way. noexcept apart from
    // allocation.
    void CommitShownUser();

    // Event handlers.
    void UserChange(std::string newUserText);   // the new-user text edited
    void btAddUserClick();
    void btDeleteUserClick();                   // asks first (Confirm dialog)
    void SelectUser(int index);                 // the operator picks a list entry (-1: none), then UserListClick
    void UserListClick();
    void DayClick(int day, bool ticked);        // MondayClick ... SundayClick
    void btSelectAllClick();
    void btDeselectAllClick();
    void cbFullInsertClick(bool ticked);
    void btCatSelClick();                       // the category picker, modally
    void PageControlChange(bool usersPageShown);

    // Edits of the other controls; each is a DataChange.
    void SetUserEnabled(bool ticked);
    void SetLogin(std::string text);
    void SetPassword(std::string text);
    void SetUserName(std::string text);
    void SetRestrictIP(std::string text);
    void SetPermission(Permission permission, bool ticked); // FullInsert: cbFullInsertClick
    void SetHour(int day, int hour, bool ticked);
    // Marks UserEdited unless Loading.
    void DataChange();

private:
    int IndexOf(const std::shared_ptr<TUser>& user) const noexcept;
    void SetAllDaysAndHours(bool ticked);
    void RenameShownUser(const std::string& login);
    void Notify();

    MainForm& form_;
    std::function<void()> observer_;
    std::shared_ptr<TUser> selected_;
    std::shared_ptr<TUser> shown_;
    std::string newUser_;
    UserControls controls_;
    CategoryPicker picker_;
    std::array<std::string, 7> dayCaptions_{"Monday", "Tuesday", "Wednesday", "Thursday",
                                            "Friday", "Saturday", "Sunday"};
    unsigned focusRequests_ = 0;
    bool userEdited_ = false;
};

} // namespace zd

#pragma once

#include "server/TUser.hpp"

#include <memory>

namespace zd {

class MainForm;

// The Users page as an object: the account shown and the mark of an edit
// not yet committed to it. Main thread only.
class UsersPage {
public:
    explicit UsersPage(MainForm& form) noexcept : form_(form) {}

    bool UserEdited() const noexcept { return userEdited_; }
    void SetUserEdited(bool edited) noexcept { userEdited_ = edited; }

    const std::shared_ptr<TUser>& ShownUser() const noexcept { return shown_; }
    void ShowUser(std::shared_ptr<TUser> user) noexcept;
    void ForgetShownUser() noexcept;

    // Commits pending edits of the page to the shown account and marks the
    // settings changed. The page holds no edit fields yet, so a pending edit
    // only clears its mark and sets SettingsChanged. noexcept.
    void CommitShownUser() noexcept;

private:
    MainForm& form_;
    std::shared_ptr<TUser> shown_;
    bool userEdited_ = false;
};

} // namespace zd

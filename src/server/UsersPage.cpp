#include "server/UsersPage.hpp"

#include "server/MainForm.hpp"

namespace zd {

void UsersPage::ShowUser(std::shared_ptr<TUser> user) noexcept
{
    shown_ = std::move(user);
    userEdited_ = false;
}

void UsersPage::ForgetShownUser() noexcept
{
    shown_.reset();
    userEdited_ = false;
}

void UsersPage::CommitShownUser() noexcept
{
    if (!userEdited_)
        return;
    userEdited_ = false;
    if (shown_)
        form_.Page().SetSettingsChanged(true);
}

} // namespace zd

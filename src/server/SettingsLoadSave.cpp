#include "server/SettingsFile.hpp"

#include "server/MainForm.hpp"

namespace zd {

void LoadSettings(MainForm& form)
{
    OptionsPage& page = form.Page();
    page.SetSettingsChanged(false);
    form.UsersScreen().SetUserEdited(false);
    form.UsersScreen().ForgetShownUser();
    StoredConfiguration stored = ReadConfigurationFile(form.DataFolder());
    for (auto& user : stored.users)
        form.Users().Add(std::move(user));
    page.ShowSettings(stored.settings);
}

void SaveSettings(MainForm& form, bool force)
{
    if (form.UsersScreen().UserEdited())
        form.CommitShownUser();
    OptionsPage& page = form.Page();
    if (!page.SettingsChanged() && !force)
        return;
    std::vector<std::shared_ptr<TUser>> users;
    for (const auto& entry : form.Users().Entries())
        users.push_back(entry.user);
    if (WriteConfigurationFile(form.DataFolder(), page.TakeSettings(), users))
        page.SetSettingsChanged(false);
}

} // namespace zd

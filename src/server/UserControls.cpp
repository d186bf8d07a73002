#include "server/UserControls.hpp"

#include "common/Texts.hpp"
#include "server/TUser.hpp"

namespace zd {

namespace {

// The field of a permission switch (const or not, as the account).
template <class User>
auto PermissionField(User& user, Permission permission) noexcept -> decltype(&user.DSP)
{
    switch (permission) {
    case Permission::VTMarkers: return &user.VTMarkersOnly;
    case Permission::MoveTracks: return &user.MoveTracks;
    case Permission::FullInsert: return &user.FullInsert;
    case Permission::SpotDelete: return &user.SpotDelete;
    case Permission::Separation: return &user.Separation;
    case Permission::TimingTool: return &user.TimingTool;
    case Permission::LocalTracks: return &user.LocalTracks;
    case Permission::DSP: return &user.DSP;
    case Permission::LimitVT: return &user.LimitVT;
    }
    return nullptr;
}

std::string TrimCut(std::string_view text, std::size_t capacity)
{
    return std::string(TrimText(text).substr(0, capacity));
}

} // namespace

bool DependsOnFullInsert(Permission permission) noexcept
{
    switch (permission) {
    case Permission::Separation:
    case Permission::SpotDelete:
    case Permission::MoveTracks:
    case Permission::TimingTool:
    case Permission::VTMarkers:
    case Permission::LimitVT:
        return true;
    default:
        return false;
    }
}

UserControls UserControls::From(const TUser& user)
{
    UserControls controls;
    controls.Enabled = user.Enabled != 0;
    controls.Login = std::string(TrimText(user.Login));
    controls.Password = std::string(TrimText(user.Password));
    controls.UserName = std::string(TrimText(user.UserName));
    controls.RestrictIP = std::string(TrimText(user.RestrictIP));
    controls.Categories = std::string(TrimText(user.Categories));
    controls.Excluded = user.ExcludeCategories != 0;
    for (std::size_t i = 0; i < kPermissionCount; ++i)
        controls.Permissions[i] = *PermissionField(user, static_cast<Permission>(i)) != 0;
    for (std::size_t d = 0; d < 7; ++d)
        controls.Days[d] = user.DayAllowed[d] != 0;
    for (std::size_t h = 0; h < 168; ++h)
        controls.Hours[h] = user.HourAllowed[h] != 0;
    return controls;
}

void UserControls::CopyTo(TUser& user) const
{
    user.Enabled = Enabled ? 1 : 0;
    user.Password = TrimCut(Password, TUser::kPasswordCapacity);
    user.UserName = TrimCut(UserName, TUser::kUserNameCapacity);
    user.RestrictIP = TrimCut(RestrictIP, TUser::kRestrictIPCapacity);
    user.Categories = TrimCut(Categories, TUser::kCategoriesCapacity);
    user.ExcludeCategories = Excluded ? 1 : 0;
    for (std::size_t i = 0; i < kPermissionCount; ++i)
        *PermissionField(user, static_cast<Permission>(i)) = Permissions[i] ? 1 : 0;
    for (std::size_t d = 0; d < 7; ++d)
        user.DayAllowed[d] = Days[d] ? 1 : 0;
    for (std::size_t h = 0; h < 168; ++h)
        user.HourAllowed[h] = Hours[h] ? 1 : 0;
}

} // namespace zd

#include "server/TUser.hpp"

#include "common/Texts.hpp"

namespace zd {

namespace {

} // namespace

AccessResult CheckAccess(const TUser* user, std::string_view password, std::string_view peerAddress) noexcept
{
    if (user == nullptr || password != user->Password)
        return AccessResult::BadPassword;
    if (user->Enabled == 0)
        return AccessResult::Disabled;
    if (!user->RestrictIP.empty() && !IpMatches(user->RestrictIP, peerAddress))
        return AccessResult::BadAddress;
    return AccessResult::Accepted;
}

bool IsCategoryPermitted(const TUser& user, std::string_view category) noexcept
{
    bool listed = true;
    if (!user.Categories.empty()) {
        try {
            const std::string list = ";" + AsciiLower(user.Categories) + ";";
            listed = list.find(";" + AsciiLower(category) + ";") != std::string::npos;
        } catch (...) {
            listed = false; // out of memory: permit nothing rather than everything
        }
    }
    return user.ExcludeCategories == 0 ? listed : !listed;
}

} // namespace zd

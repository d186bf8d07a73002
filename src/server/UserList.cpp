#include "server/UserList.hpp"
#include "common/Texts.hpp"

#include <algorithm>

namespace zd {

namespace {

} // namespace

int CompareLogins(std::string_view a, std::string_view b) noexcept
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::size_t UserList::Add(std::string login, std::shared_ptr<TUser> user)
{
    const auto place = std::upper_bound(entries_.begin(), entries_.end(), login,
        [](const std::string& key, const Entry& entry) { return CompareLogins(key, entry.login) < 0; });
    const auto index = static_cast<std::size_t>(place - entries_.begin());
    entries_.insert(place, Entry{std::move(login), std::move(user)});
    return index;
}

std::size_t UserList::Add(std::shared_ptr<TUser> user)
{
    std::string login = user ? user->Login : std::string();
    return Add(std::move(login), std::move(user));
}

int UserList::IndexOf(std::string_view login) const noexcept
{
    const auto first = std::lower_bound(entries_.begin(), entries_.end(), login,
        [](const Entry& entry, std::string_view key) { return CompareLogins(entry.login, key) < 0; });
    if (first == entries_.end() || CompareLogins(first->login, login) != 0)
        return -1;
    return static_cast<int>(first - entries_.begin());
}

std::shared_ptr<TUser> UserList::FindUser(std::string_view login) const noexcept
{
    const int index = IndexOf(login);
    return index < 0 ? nullptr : entries_[static_cast<std::size_t>(index)].user;
}

int UserList::IndexOfUser(const TUser* user) const noexcept
{
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].user.get() == user)
            return static_cast<int>(i);
    }
    return -1;
}

std::size_t UserList::Rename(std::size_t index, std::string login)
{
    std::shared_ptr<TUser> user = entries_.at(index).user;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    if (user)
        user->Login = login;
    return Add(std::move(login), std::move(user));
}

void UserList::Remove(std::size_t index) noexcept
{
    if (index < entries_.size())
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void UserList::Clear() noexcept
{
    entries_.clear();
}

} // namespace zd

#pragma once

#include "server/TUser.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// The user accounts, kept sorted by login without regard to letter case
// (letters A to Z). Duplicates are accepted (a file may hold them); a new one
// goes after the equal ones, so FindUser finds the first in list order. The
// list order is the order the configuration file stores. Main thread only.
class UserList {
public:
    struct Entry {
        std::string login; // the key the account was added under
        std::shared_ptr<TUser> user;
    };

    // Adds the account under `login` at its sorted place; returns its index.
    // noexcept apart from allocation.
    std::size_t Add(std::string login, std::shared_ptr<TUser> user);
    // Adds under the account's own Login.
    std::size_t Add(std::shared_ptr<TUser> user);

    // The index of the first entry whose login equals `login` without regard
    // to letter case (whole text, no trimming), or -1. noexcept.
    int IndexOf(std::string_view login) const noexcept;

    // The account found by IndexOf, or null.
    std::shared_ptr<TUser> FindUser(std::string_view login) const noexcept;

    // The index of the entry holding this account, or -1. noexcept.
    int IndexOfUser(const TUser* user) const noexcept;

    // Gives the entry at `index` a new login (entry text and the account's
    // Login) and moves it to its sorted place; returns its new index.
    // noexcept apart from allocation.
    std::size_t Rename(std::size_t index, std::string login);

    // Removes the entry at `index` (ignored when out of range). Connections
    // that hold the account keep it alive. noexcept.
    void Remove(std::size_t index) noexcept;
    // Removes every entry. noexcept.
    void Clear() noexcept;

    std::size_t Count() const noexcept { return entries_.size(); }
    bool Empty() const noexcept { return entries_.empty(); }
    const Entry& operator[](std::size_t index) const { return entries_.at(index); }
    const std::vector<Entry>& Entries() const noexcept { return entries_; }

private:
    std::vector<Entry> entries_;
};

// Compares two logins without regard to letter case (A to Z): <0, 0, >0.
int CompareLogins(std::string_view a, std::string_view b) noexcept;

} // namespace zd

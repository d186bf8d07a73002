#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

class TContextData;
class TPlayer;
class TUser;

// The connected-users list in the order of adding: session entries
// ("<login> - <user name>", linked to the connection's context) and preview
// stream entries ("Audio: <login> - Stream <n>", linked to the player).
// Main thread only.
class ConnectedList {
public:
    struct Entry {
        std::string text;
        std::shared_ptr<TContextData> context; // session entries
        TPlayer* player = nullptr;             // stream entries
        std::string login;                     // the account a session entry links
        // Entries are told apart by what they hold, never by their text.
        bool IsStream() const noexcept { return player != nullptr; }
    };

    // The text of a session entry for the account, its control characters
    // shown as "?". noexcept apart from allocation.
    static std::string SessionText(const TUser& user);

    void AddSession(std::shared_ptr<TContextData> context, const TUser& user);
    void AddStream(std::string text, TPlayer* player);

    // Index of the session entry linked to the context, or -1. noexcept.
    int FindSessionEntry(const TContextData* context) const noexcept;
    // Index of the stream entry linked to the player, or -1. noexcept.
    int FindStreamEntry(const TPlayer* player) const noexcept;
    // The context of the first session entry whose account's login equals
    // login (case significant), or null. noexcept.
    std::shared_ptr<TContextData> FindSessionByLogin(std::string_view login) const noexcept;

    // Removes the entry (ignored when out of range). noexcept.
    void RemoveEntry(int index) noexcept;
    void Clear() noexcept { entries_.clear(); }

    std::size_t Count() const noexcept { return entries_.size(); }
    const Entry& operator[](std::size_t index) const { return entries_.at(index); }
    // The entries' texts in list order.
    std::vector<std::string> Texts() const;

private:
    std::vector<Entry> entries_;
};

} // namespace zd

#include "server/ConnectedList.hpp"

#include "common/Texts.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

namespace zd {

std::string ConnectedList::SessionText(const TUser& user)
{
    return ClientText(user.Login + " - " + user.UserName);
}

void ConnectedList::AddSession(std::shared_ptr<TContextData> context, const TUser& user)
{
    entries_.push_back(Entry{SessionText(user), std::move(context), nullptr, user.Login});
}

void ConnectedList::AddStream(std::string text, TPlayer* player)
{
    entries_.push_back(Entry{ClientText(text), nullptr, player, {}});
}

int ConnectedList::FindSessionEntry(const TContextData* context) const noexcept
{
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (context != nullptr && entries_[i].context.get() == context && !entries_[i].IsStream())
            return static_cast<int>(i);
    }
    return -1;
}

int ConnectedList::FindStreamEntry(const TPlayer* player) const noexcept
{
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (player != nullptr && entries_[i].player == player && entries_[i].IsStream())
            return static_cast<int>(i);
    }
    return -1;
}

std::shared_ptr<TContextData> ConnectedList::FindSessionByLogin(std::string_view login) const noexcept
{
    for (const Entry& entry : entries_) {
        if (!entry.IsStream() && entry.context && entry.login == login)
            return entry.context;
    }
    return nullptr;
}

void ConnectedList::RemoveEntry(int index) noexcept
{
    if (index >= 0 && static_cast<std::size_t>(index) < entries_.size())
        entries_.erase(entries_.begin() + index);
}

std::vector<std::string> ConnectedList::Texts() const
{
    std::vector<std::string> texts;
    texts.reserve(entries_.size());
    for (const Entry& entry : entries_)
        texts.push_back(entry.text);
    return texts;
}

} // namespace zd

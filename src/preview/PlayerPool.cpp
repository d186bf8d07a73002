#include "preview/PlayerPool.hpp"

#include "server/TContextData.hpp"

namespace zd {

TPlayer* PlayerPool::AcquirePlayer(const std::shared_ptr<TUser>& user, const std::shared_ptr<TContextData>& connection)
{
    TPlayer* slot = nullptr;
    for (const auto& candidate : slots_) {
        if (candidate->Free()) {
            slot = candidate.get();
            break;
        }
    }
    if (slot == nullptr) {
        if (slots_.size() > kLastIndex) {
            connection->Player = nullptr;
            return nullptr;
        }
        slots_.push_back(std::make_unique<TPlayer>(static_cast<std::uint8_t>(slots_.size())));
        slot = slots_.back().get();
    }
    slot->User = user;
    slot->Context = connection;
    connection->Player = slot;
    return slot;
}

std::vector<std::shared_ptr<TContextData>> PlayerPool::ConnectionsOf(const TUser& user) const
{
    std::vector<std::shared_ptr<TContextData>> connections;
    for (auto slot = slots_.rbegin(); slot != slots_.rend(); ++slot) {
        if ((*slot)->User.get() == &user) {
            if (auto context = (*slot)->Context.lock())
                connections.push_back(std::move(context));
        }
    }
    return connections;
}

} // namespace zd

#pragma once

#include "preview/TPlayer.hpp"

#include <memory>
#include <vector>

namespace zd {

class TContextData;
class TUser;

// The player slots, numbered 0 to kLastIndex in creation order; made on
// demand and kept until the pool goes. Main thread only.
class PlayerPool {
public:
    static constexpr std::size_t kLastIndex = 50;

    // Takes the lowest free slot for the user's connection (appending one
    // while fewer than kLastIndex + 1 exist) and links it to the connection's
    // session record; nullptr when all are busy. noexcept apart from allocation.
    TPlayer* AcquirePlayer(const std::shared_ptr<TUser>& user, const std::shared_ptr<TContextData>& connection);

    // The connections of the user's slots, highest slot first. noexcept
    // apart from allocation.
    std::vector<std::shared_ptr<TContextData>> ConnectionsOf(const TUser& user) const;

    std::size_t Count() const noexcept { return slots_.size(); }
    TPlayer& operator[](std::size_t index) const { return *slots_.at(index); }

private:
    std::vector<std::unique_ptr<TPlayer>> slots_;
};

} // namespace zd

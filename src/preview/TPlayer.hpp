#pragma once

#include <cstdint>
#include <memory>

namespace zd {

class PreviewStream;
class TContextData;
class TUser;

// One player slot: one preview stream at a time. Its fields belong to the
// main thread; the slot is free while it has no User.
class TPlayer {
public:
    explicit TPlayer(std::uint8_t index) noexcept : Index(index) {}

    const std::uint8_t Index;               // 0 to 50: also the list entry's number
    std::weak_ptr<TContextData> Context;    // the connection that streams here
    std::shared_ptr<TUser> User;            // none: the slot is free
    std::shared_ptr<PreviewStream> Stream;  // the running stream's decoder, encoder and buffer

    bool Free() const noexcept { return User == nullptr; }
};

} // namespace zd

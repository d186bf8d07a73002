#pragma once

#include <cstdint>
#include <string>

namespace zd {

// One field of the tag store, in the store's order.
struct TTags {
    std::string Name;            // key; compared without regard to letter case
    std::string Value;           // marked text, or raw bytes for binary fields
    std::int32_t ValuePos = 0;   // 1-based index in the item area of the NUL ending the key; 0 = not in the file
    std::int32_t StoredLen = 0;  // bytes of the value as it stands in the file
    std::uint8_t FlagsLow = 0;   // lowest byte of the item flags
    std::uint8_t FlagsHigh = 0;  // highest byte of the item flags
};

} // namespace zd

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/tags/TTags.hpp"

namespace zd {

// The 32-byte header/footer of an APEv2 tag: "APETAGEX", version, tag size
// (items + footer), item count, flags, 8 reserved bytes; little-endian.
using APEFooterBytes = std::array<std::uint8_t, 32>;

inline constexpr std::uint32_t kAPEHasHeader = 0x80000000u; // tag carries a header
inline constexpr std::uint32_t kAPEIsHeader = 0x20000000u;  // these 32 bytes are the header
inline constexpr std::uint8_t kAPEBinaryType = 0x02;        // item type bits 1-2 = 1: binary
inline constexpr int kMaxTagItems = 127;                    // most items the store reads

struct APEFooter {
    std::uint32_t Version = 2000;
    std::uint32_t TagSize = 0;
    std::uint32_t ItemCount = 0;
    std::uint32_t Flags = 0;
};

// The footer template: "APETAGEX", version 2000, size 0, count 0, flags 0.
APEFooterBytes APEFooterTemplate() noexcept;

// True when the bytes begin with "APETAGEX"; fills footer then. noexcept.
bool ParseAPEFooter(std::span<const std::uint8_t> bytes, APEFooter& footer) noexcept;

// Sets tag size, item count and flags of the footer bytes. noexcept.
void StoreAPEFooter(APEFooterBytes& bytes, const APEFooter& footer) noexcept;

// The items of an item area. complete is false when an item did not fit the
// area, had a key of fewer than 2 bytes or with a control byte, or when
// bytes other than NUL padding follow the claimed items (the items before
// the damage are kept). Every check is against the area.
struct APEItemsRead {
    std::vector<TTags> Fields;
    bool Complete = true;
};
// Reads up to count items (at most kMaxTagItems) by the store's text rules.
// Never throws apart from allocation.
APEItemsRead ParseAPEItems(std::span<const std::uint8_t> area, std::uint32_t count);

// Builds the item area of the fields, in order, leaving out empty values
// except "title" and "artist"; sets each written field's StoredLen,
// ValuePos and flags. itemCount receives the number of items written.
// Never throws apart from allocation.
std::vector<std::uint8_t> BuildAPEItemArea(std::vector<TTags>& fields, std::uint32_t& itemCount);

} // namespace zd

#include "audio/tags/APEItems.hpp"

#include <algorithm>
#include <cstring>

#include "audio/info/ByteSource.hpp"
#include "audio/tags/TagText.hpp"
#include "common/Texts.hpp"

namespace zd {

APEFooterBytes APEFooterTemplate() noexcept
{
    APEFooterBytes bytes{};
    std::memcpy(bytes.data(), "APETAGEX", 8);
    StoreLE32(bytes.data() + 8, 2000);
    return bytes;
}

bool ParseAPEFooter(std::span<const std::uint8_t> bytes, APEFooter& footer) noexcept
{
    if (bytes.size() < 32 || !StartsWith(bytes, "APETAGEX"))
        return false;
    footer.Version = LoadLE32(bytes, 8);
    footer.TagSize = LoadLE32(bytes, 12);
    footer.ItemCount = LoadLE32(bytes, 16);
    footer.Flags = LoadLE32(bytes, 20);
    return true;
}

void StoreAPEFooter(APEFooterBytes& bytes, const APEFooter& footer) noexcept
{
    StoreLE32(bytes.data() + 8, footer.Version);
    StoreLE32(bytes.data() + 12, footer.TagSize);
    StoreLE32(bytes.data() + 16, footer.ItemCount);
    StoreLE32(bytes.data() + 20, footer.Flags);
}

namespace {

// The value of a text item as the store keeps it.
std::string TextValue(const std::string& name, std::string value)
{
    if (AsciiLower(name) == "comment") {
        // NULs separate the lines of a multi-line comment.
        std::replace(value.begin(), value.end(), '\0', '\n');
    } else {
        // NULs between values become commas; trailing NULs end the text.
        const auto last = value.find_last_not_of('\0');
        if (last != std::string::npos)
            std::replace(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(last), '\0', ',');
        value = CleanTagText(value);
    }
    return ItemTextToMarked(value);
}

} // namespace

APEItemsRead ParseAPEItems(std::span<const std::uint8_t> area, std::uint32_t count)
{
    APEItemsRead result;
    const bool allClaimed = count <= static_cast<std::uint32_t>(kMaxTagItems);
    count = std::min<std::uint32_t>(count, kMaxTagItems);
    const std::size_t size = area.size();
    std::size_t p = 0; // 0-based start of the item
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - p < 8) {
            result.Complete = false;
            break;
        }
        const std::uint32_t valueSize = LoadLE32(area, p);
        if (valueSize > size - p - 8) {
            result.Complete = false;
            break;
        }
        TTags field;
        field.FlagsLow = area[p + 4];
        field.FlagsHigh = area[p + 7];
        std::size_t nul = p + 8;
        while (nul < size && area[nul] != 0)
            ++nul;
        if (nul >= size || valueSize > size - nul - 1) {
            result.Complete = false;
            break;
        }
        field.Name.assign(reinterpret_cast<const char*>(area.data() + p + 8), nul - p - 8);
        // A key of fewer than 2 bytes or with a control byte is no item: the
        // area does not begin where the footer says (audio read as items).
        // Keys that only break the format's character rules are still read.
        if (field.Name.size() < 2
            || std::any_of(field.Name.begin(), field.Name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
            result.Complete = false;
            break;
        }
        std::string value(reinterpret_cast<const char*>(area.data() + nul + 1), valueSize);
        field.ValuePos = static_cast<std::int32_t>(nul + 1);
        field.StoredLen = static_cast<std::int32_t>(valueSize);
        if (IsBinaryItem(field.Name, field.FlagsLow, field.FlagsHigh))
            field.Value = std::move(value);
        else
            field.Value = TextValue(field.Name, std::move(value));
        result.Fields.push_back(std::move(field));
        p = nul + 1 + valueSize;
    }
    // Only padding may follow the claimed items; anything else is more tag
    // than was read.
    if (result.Complete && allClaimed && std::any_of(area.begin() + static_cast<std::ptrdiff_t>(p), area.end(),
                                             [](std::uint8_t b) { return b != 0; }))
        result.Complete = false;
    return result;
}

std::vector<std::uint8_t> BuildAPEItemArea(std::vector<TTags>& fields, std::uint32_t& itemCount)
{
    std::vector<std::uint8_t> area;
    itemCount = 0;
    for (TTags& field : fields) {
        const std::string lower = AsciiLower(field.Name);
        if (field.Value.empty() && lower != "title" && lower != "artist") {
            field.ValuePos = 0;
            field.StoredLen = 0;
            continue;
        }
        if (IsBinaryName(field.Name)) {
            // The station's mark of binary fields, and the format's own
            // binary item type so that other tag editors keep the bytes.
            field.FlagsHigh = 2;
            field.FlagsLow = static_cast<std::uint8_t>(field.FlagsLow | kAPEBinaryType);
        }
        const std::string bytes = StoredBytesOf(field);
        field.StoredLen = static_cast<std::int32_t>(bytes.size());
        std::uint8_t head[8] = {};
        StoreLE32(head, static_cast<std::uint32_t>(bytes.size()));
        head[4] = field.FlagsLow;
        head[7] = field.FlagsHigh;
        area.insert(area.end(), head, head + 8);
        area.insert(area.end(), field.Name.begin(), field.Name.end());
        area.push_back(0);
        area.insert(area.end(), bytes.begin(), bytes.end());
        field.ValuePos = static_cast<std::int32_t>(area.size() - bytes.size());
        ++itemCount;
    }
    return area;
}

} // namespace zd

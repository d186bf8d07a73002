#include "audio/info/MP4Boxes.hpp"

#include "audio/info/ReaderSupport.hpp"

namespace zd {

std::optional<TMP4Box> BoxAt(ByteSource& source, std::int64_t pos, std::int64_t limit)
{
    std::array<std::uint8_t, 16> header{};
    if (pos < 0 || limit - pos < 8 || !source.ReadExactAt(pos, std::span(header).first(8)))
        return std::nullopt;
    std::uint64_t size = LoadBE32(header, 0);
    std::int64_t headerLength = 8;
    if (size == 1) {
        if (limit - pos < 16 || !source.ReadExactAt(pos + 8, std::span(header).subspan(8)))
            return std::nullopt;
        size = LoadBE64(header, 8);
        headerLength = 16;
    }
    if (size < static_cast<std::uint64_t>(headerLength) || size > static_cast<std::uint64_t>(limit - pos))
        return std::nullopt;
    TMP4Box box;
    std::copy_n(header.begin() + 4, 4, box.Type.begin());
    box.Payload = pos + headerLength;
    box.End = pos + static_cast<std::int64_t>(size);
    return box;
}

std::optional<TMP4Box> FindBox(ByteSource& source, std::int64_t pos, std::int64_t limit, std::string_view type)
{
    limit = std::min(limit, source.Size());
    for (int i = 0; i < kMaxSiblingBoxes && pos < limit - 8; ++i) {
        const auto box = BoxAt(source, pos, limit);
        if (!box)
            return std::nullopt;
        if (StartsWith(box->Type, type))
            return box;
        pos = box->End;
    }
    return std::nullopt;
}

std::optional<TMP4Box> FindBoxPath(ByteSource& source, std::int64_t pos, std::int64_t limit,
    std::initializer_list<std::string_view> types)
{
    std::optional<TMP4Box> box;
    for (const std::string_view type : types) {
        box = FindBox(source, pos, limit, type);
        if (!box)
            return std::nullopt;
        pos = box->Payload;
        limit = box->End;
    }
    return box;
}

} // namespace zd

#include "audio/tags/TAPETags.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>

#include <sys/stat.h>

#include "audio/FileOps.hpp"
#include "audio/MarkedText.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/info/ByteSource.hpp"
#include "audio/tags/TagText.hpp"
#include "common/CodePage.hpp"
#include "common/Error.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

constexpr std::int64_t kMinFileSize = 160;
constexpr std::int64_t kID3v1Size = 128;

// Reads count bytes at pos; false when the file ends first. Throws FileError.
bool ReadAt(TVRNFileStream& stream, std::int64_t pos, void* out, std::size_t count)
{
    stream.Seek(pos, TVRNFileStream::Origin::Begin);
    return stream.Read(out, count) == count;
}

// An APEv2 header in the 32 bytes before the items at itemsStart, with the
// footer's tag size.
bool HeaderConfirms(TVRNFileStream& stream, std::int64_t itemsStart, std::uint32_t tagSize)
{
    std::array<std::uint8_t, 32> header{};
    return itemsStart >= 32 && ReadAt(stream, itemsStart - 32, header.data(), header.size())
        && StartsWith(header, "APETAGEX") && (LoadLE32(header, 20) & kAPEIsHeader) != 0
        && LoadLE32(header, 12) == tagSize;
}

void WriteAt(TVRNFileStream& stream, std::int64_t pos, const void* data, std::size_t count)
{
    stream.Seek(pos, TVRNFileStream::Origin::Begin);
    stream.Write(data, count);
}

// The files that a writable store of this process has open: a second
// writable store of the same file waits until the first is freed, so that two
// connections changing one file's tag never write over each other's read.
class WriterFiles {
public:
    void Acquire(const std::string& key)
    {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [&] { return !held_.contains(key); });
        held_.insert(key);
    }
    void Release(const std::string& key) noexcept
    {
        {
            std::lock_guard lock(mutex_);
            held_.erase(key);
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::set<std::string> held_;
};

WriterFiles& Writers()
{
    static WriterFiles writers;
    return writers;
}

// The file itself (device and inode), whatever name it was opened by: two
// drive letters or a linked folder can name one file. The path when the
// handle cannot tell.
std::string WriterKeyOf(const TVRNFileStream& stream)
{
    struct stat st {};
    if (::fstat(stream.Handle(), &st) != 0)
        return stream.NativePath();
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

} // namespace

TAPETags::TAPETags(std::string fileName, int attempts, std::uint16_t mode) : fileName_(std::move(fileName))
{
    if (!FileExistsMarked(fileName_))
        return;
    const bool wantsWrite = (mode & (kOpenWrite | kOpenReadWrite)) != 0;
    if (wantsWrite) {
        stream_ = OpenWideFileStreamRetry(fileName_, attempts, kOpenReadWrite | kShareDenyNone);
        readOnly_ = stream_ == nullptr;
    }
    if (stream_ == nullptr)
        stream_ = OpenWideFileStreamRetry(fileName_, attempts, kOpenRead | kShareDenyNone);
    if (stream_ == nullptr)
        return;
    if (!readOnly_) {
        writerKey_ = WriterKeyOf(*stream_);
        Writers().Acquire(writerKey_);
        facts_ = FileFacts(fileName_); // the times a write gives back
    }
    try {
        fileSize_ = stream_->Size();
    } catch (const std::exception&) {
        fileSize_ = 0;
    }
    if (fileSize_ < kMinFileSize) {
        stream_.reset();
        return;
    }
    opened_ = true;
    try {
        ReadTag();
    } catch (const std::exception&) {
        error_ = true;
        readOnly_ = true;
    }
    if (!hasAPETag_) {
        fields_.clear();
        footer_ = APEFooterTemplate();
        tagSize_ = 0;
    }
}

TAPETags::~TAPETags()
{
    stream_.reset();
    if (!writerKey_.empty())
        Writers().Release(writerKey_);
}

void TAPETags::ReadTag()
{
    // One read of the last 160 bytes holds an ID3v1 tag and the APEv2 footer
    // in front of it, or the footer that ends the file.
    std::array<std::uint8_t, 160> tail{};
    if (!ReadAt(*stream_, fileSize_ - 160, tail.data(), tail.size()))
        return;
    const auto at = [&tail](std::size_t offset) { return std::span<const std::uint8_t>(tail).subspan(offset); };
    if (StartsWith(at(32), "TAG")) {
        std::copy(tail.begin() + 35, tail.end(), id3v1_.begin());
        hasID3v1_ = true;
    }
    APEFooter footer;
    bool found = ParseAPEFooter(at(hasID3v1_ ? 0 : 128), footer);
    if (!found && hasID3v1_ && ParseAPEFooter(at(128), footer)) {
        // "TAG" inside the items of a tag that ends the file is no ID3v1 tag.
        found = true;
        hasID3v1_ = false;
        id3v1_.fill(0);
    }
    APEFooterBytes bytes{};
    if (found)
        std::copy_n(tail.begin() + (hasID3v1_ ? 0 : 128), bytes.size(), bytes.begin());
    if (!found)
        return;
    hasAPETag_ = true;
    footer_ = bytes;
    if (footer.ItemCount > static_cast<std::uint32_t>(kMaxTagItems))
        readOnly_ = true; // the store cannot hold every item: never rewrite it
    const std::int64_t limit = fileSize_ - kID3v1Size;
    std::int64_t tagSize = footer.TagSize;
    if (tagSize > limit) {
        tagSize = limit;
        readOnly_ = true; // the size is damaged: where the tag starts is not known
    }
    tagSize_ = static_cast<std::uint32_t>(tagSize);
    if (tagSize < 32 || tagSize - 32 > MaxAreaBytes) {
        error_ = true;
        readOnly_ = true;
        return;
    }
    std::vector<std::uint8_t> area(static_cast<std::size_t>(tagSize - 32));
    if (!ReadAt(*stream_, TagStart(), area.data(), area.size())) {
        error_ = true;
        readOnly_ = true;
        return;
    }
    APEItemsRead items = ParseAPEItems(area, footer.ItemCount);
    fields_ = std::move(items.Fields);
    // No item over a non-empty area says nothing about where the tag starts
    // (silent audio reads as padding); only a header in front confirms it.
    if (footer.ItemCount == 0 && !area.empty() && !HeaderConfirms(*stream_, TagStart(), footer.TagSize))
        items.Complete = false;
    if (!items.Complete) {
        error_ = true;
        readOnly_ = true; // a damaged tag is kept as it is
    }
}

std::int64_t TAPETags::TagStart() const noexcept
{
    return fileSize_ - (hasAPETag_ ? tagSize_ : 0) - (hasID3v1_ ? kID3v1Size : 0);
}

int TAPETags::IndexOf(std::string_view name) const noexcept
{
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (SameAsciiIgnoringCase(fields_[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::string TAPETags::GetValue(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return fields_[static_cast<std::size_t>(index)].Value;
}

std::string TAPETags::GetField(std::string_view name) const
{
    return GetValue(IndexOf(name));
}

void TAPETags::SetField(std::string_view name, std::string_view value)
{
    const std::string lower = AsciiLower(name);
    const int index = IndexOf(name);
    if (index < 0) {
        if (value.empty() && lower != "title" && lower != "artist")
            return;
        if (name.size() < 2)
            throw zd::Error("Exception", "Tag Name must be 2 or more characters in length");
        if (!IsValidTagName(name))
            throw zd::Error("Exception", "Tag Name must be printable ASCII of at most 255 characters");
        TTags field;
        field.Name = std::string(name);
        fields_.push_back(std::move(field));
    }
    TTags& field = fields_[index < 0 ? fields_.size() - 1 : static_cast<std::size_t>(index)];
    if (index >= 0 && (field.Value == value || (!IsBinaryName(name) && field.Value == CleanTagText(value))))
        return;
    modified_ = true;
    field.Name = std::string(name);
    field.Value = std::string(value);
    if (hasID3v1_)
        MirrorID3v1(lower, field.Value);
}

void TAPETags::MirrorID3v1(const std::string& lowerName, const std::string& value)
{
    struct Slot {
        const char* name;
        std::size_t offset;
        std::size_t length;
    };
    // Comment keeps byte 122 free: a 0 there tells that byte 123 is the track.
    static constexpr Slot slots[] = {
        {"title", 0, 30}, {"artist", 30, 30}, {"album", 60, 30}, {"year", 90, 4}, {"comment", 94, 28}};
    if (lowerName == "track") {
        id3v1_[122] = 0;
        id3v1_[123] = static_cast<std::uint8_t>(TextToIntDef0(value) & 0xFF);
        return;
    }
    for (const Slot& slot : slots) {
        if (lowerName != slot.name)
            continue;
        const std::string text = WideToAnsi(MarkedToWide(value));
        auto* out = id3v1_.data() + slot.offset;
        std::memset(out, 0, slot.length);
        std::memcpy(out, text.data(), std::min(text.size(), slot.length));
        if (lowerName == "comment")
            id3v1_[122] = 0;
    }
}

void TAPETags::SetFieldInt(std::string_view name, std::int64_t value)
{
    SetField(name, std::to_string(value));
}

bool TAPETags::CanWrite() const
{
    return opened_ && stream_ != nullptr && !readOnly_ && !PlaylistOrProgram(fileName_);
}

void TAPETags::UpdateField(std::string_view name, std::string_view value)
{
    const int index = IndexOf(name);
    if (modified_ || IsBinaryName(name) || index < 0 || fields_[static_cast<std::size_t>(index)].ValuePos == 0) {
        SetField(name, value);
        return;
    }
    TTags& field = fields_[static_cast<std::size_t>(index)];
    TTags changed = field;
    changed.Value = std::string(value);
    std::string bytes = StoredBytesOf(changed);
    if (bytes.size() > static_cast<std::size_t>(field.StoredLen)) {
        SetField(name, value);
        return;
    }
    if (!CanWrite() || field.Value == value || field.Value == CleanTagText(value))
        return;
    try {
        bytes.resize(static_cast<std::size_t>(field.StoredLen), '\0');
        WriteAt(*stream_, TagStart() + field.ValuePos, bytes.data(), bytes.size());
        stream_->Flush();
        field.Value = std::string(value);
        PreserveFileTimes(*stream_, facts_, false);
    } catch (const std::exception&) {
        error_ = true;
    }
}

void TAPETags::WriteTags()
{
    error_ = false;
    if (!CanWrite())
        return;
    try {
        std::uint32_t itemCount = 0;
        std::vector<std::uint8_t> block = BuildAPEItemArea(fields_, itemCount);
        const std::int64_t writePos = TagStart();
        const std::int64_t oldLength = fileSize_ - writePos;
        const std::int64_t newLength =
            static_cast<std::int64_t>(block.size()) + 32 + (hasID3v1_ ? kID3v1Size : 0);
        if (oldLength > newLength)
            block.resize(block.size() + static_cast<std::size_t>(oldLength - newLength), 0);

        APEFooter footer;
        ParseAPEFooter(footer_, footer);
        footer.TagSize = static_cast<std::uint32_t>(block.size() + 32);
        footer.ItemCount = itemCount;
        footer.Flags &= ~kAPEIsHeader;
        APEFooterBytes footerBytes = footer_;
        StoreAPEFooter(footerBytes, footer);
        block.insert(block.end(), footerBytes.begin(), footerBytes.end());
        if (hasID3v1_) {
            block.insert(block.end(), {'T', 'A', 'G'});
            block.insert(block.end(), id3v1_.begin(), id3v1_.end());
        }

        // A header in front of the old items stays; its size and count follow.
        std::array<std::uint8_t, 32> header{};
        const bool hasHeader = hasAPETag_ && (footer.Flags & kAPEHasHeader) != 0 && writePos >= 32
            && ReadAt(*stream_, writePos - 32, header.data(), header.size()) && StartsWith(header, "APETAGEX")
            && (LoadLE32(header, 20) & kAPEIsHeader) != 0;

        WriteAt(*stream_, writePos, block.data(), block.size());
        if (hasHeader) {
            StoreLE32(header.data() + 12, footer.TagSize);
            StoreLE32(header.data() + 16, footer.ItemCount);
            WriteAt(*stream_, writePos - 32, header.data(), header.size());
        }
        stream_->Flush();
        fileSize_ = std::max(fileSize_, writePos + static_cast<std::int64_t>(block.size()));
        footer_ = footerBytes;
        tagSize_ = footer.TagSize;
        hasAPETag_ = true;
        modified_ = false;
        PreserveFileTimes(*stream_, facts_, false);
    } catch (const std::exception&) {
        error_ = true;
    }
}

} // namespace zd

#include "scheduler/LibraryDatabase.hpp"

#include "audio/TVRNFileStream.hpp"
#include "audio/info/ByteSource.hpp"
#include "common/Error.hpp"
#include "common/SongRestriction.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zd {
namespace {

constexpr std::size_t kFixedBytes = 2 + 4 + 1 + 1 + 3 + 4 + kRestrictionBytes + kLastScheduledBytes;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kWriteChunk = 64 * 1024;

void PutLE(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool PutShortText(std::string& out, std::string_view text)
{
    if (text.size() > kLibraryTextMax)
        return false;
    out.push_back(static_cast<char>(text.size()));
    out.append(text);
    return true;
}

std::string_view CharsOf(std::span<const std::uint8_t> bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

[[noreturn]] void ThrowWriteError(const std::string& path)
{
    throw FileError("EWriteError", "Cannot write \"" + path + "\": " + std::strerror(errno));
}

} // namespace

RestrictionBytes FreshRestrictionBytes() noexcept
{
    return TSongRestriction{}.ToBytes();
}

LastScheduledBytes EmptyLastScheduled() noexcept
{
    LastScheduledBytes bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4)
        StoreLE32(bytes.data() + i, kEmptyHistorySlot);
    return bytes;
}

LibraryRecord LibraryRecordView::ToRecord() const
{
    LibraryRecord record{std::string(FileName), std::string(Artist), std::string(Title),
                         std::string(Album), std::string(Genre), std::string(Mood),
                         Year, DurationMs, BitRate, Rating, Tempo, Energy, Era, TransitionMs};
    std::copy(Restriction.begin(), Restriction.end(), record.Restriction.begin());
    std::copy(LastScheduled.begin(), LastScheduled.end(), record.LastScheduled.begin());
    return record;
}

std::uint32_t LibraryRecordView::NewestLastScheduled() const noexcept
{
    return LoadLE32(LastScheduled, 0);
}

bool ParseLibraryRecord(std::span<const std::uint8_t> body, LibraryRecordView& view) noexcept
{
    // Runs once per record of every search: plain pointer steps, each
    // checked against the end.
    const std::uint8_t* at = body.data();
    const std::uint8_t* const end = at + body.size();
    auto left = [&] { return static_cast<std::size_t>(end - at); };
    auto chars = [&](std::size_t count) {
        const std::string_view text(reinterpret_cast<const char*>(at), count);
        at += count;
        return text;
    };
    if (left() < 2)
        return false;
    const std::size_t nameLength = LoadLE16(body, 0);
    at += 2;
    if (left() < nameLength)
        return false;
    view.FileName = chars(nameLength);
    std::string_view* const texts[] = {&view.Artist, &view.Title, &view.Album, &view.Genre, &view.Mood};
    for (std::string_view* text : texts) {
        if (left() < 1 || left() - 1 < *at)
            return false;
        const std::size_t length = *at++;
        *text = chars(length);
    }
    if (left() < kFixedBytes)
        return false;
    const auto fixed = std::span<const std::uint8_t>(at, kFixedBytes);
    view.Year = LoadLE16(fixed, 0);
    view.DurationMs = LoadLE32(fixed, 2);
    view.BitRate = fixed[6];
    view.Rating = fixed[7];
    view.Tempo = fixed[8];
    view.Energy = fixed[9];
    view.Era = fixed[10];
    view.TransitionMs = LoadLE32(fixed, 11);
    view.Restriction = fixed.subspan(15, kRestrictionBytes);
    view.LastScheduled = fixed.subspan(15 + kRestrictionBytes, kLastScheduledBytes);
    return true;
}

std::optional<std::string> EncodeLibraryRecord(const LibraryRecord& record)
{
    std::string body;
    body.reserve(2 + record.FileName.size() + 5 * 64 + kFixedBytes);
    if (record.FileName.size() > kLongestLibraryRecord)
        return std::nullopt;
    PutLE(body, static_cast<std::uint32_t>(record.FileName.size()), 2);
    body.append(record.FileName);
    for (const std::string* text : {&record.Artist, &record.Title, &record.Album, &record.Genre, &record.Mood})
        if (!PutShortText(body, *text))
            return std::nullopt;
    PutLE(body, record.Year, 2);
    PutLE(body, record.DurationMs, 4);
    for (const std::uint8_t byte : {record.BitRate, record.Rating, record.Tempo, record.Energy, record.Era})
        body.push_back(static_cast<char>(byte));
    PutLE(body, record.TransitionMs, 4);
    body.append(CharsOf(record.Restriction));
    body.append(CharsOf(record.LastScheduled));
    if (body.size() > kLongestLibraryRecord)
        return std::nullopt;
    std::string whole;
    whole.reserve(2 + body.size());
    PutLE(whole, static_cast<std::uint32_t>(body.size()), 2);
    return whole + body;
}

bool IsDatabaseReference(std::string_view fileName) noexcept
{
    if (fileName.size() < 4)
        return false;
    const std::string_view tail = fileName.substr(fileName.size() - 4);
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return tail[0] == '.' && lower(tail[1]) == 'd' && lower(tail[2]) == 'a' && lower(tail[3]) == 't'
        && fileName.find_first_of("\\/:") == std::string_view::npos;
}

LibraryReader::LibraryReader(TVRNFileStream& stream) : stream_(stream), buffer_(kReadChunk + kLongestLibraryRecord + 2)
{
    if (Fill(1))
        version_ = buffer_[begin_++];
}

bool LibraryReader::Refill(std::size_t wanted)
{
    if (atEnd_)
        return false;
    // Keep the unread bytes and top the buffer up behind them.
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    while (end_ < wanted && !atEnd_) {
        const std::size_t got = stream_.Read(buffer_.data() + end_, buffer_.size() - end_);
        atEnd_ = got == 0;
        end_ += got;
    }
    return end_ - begin_ >= wanted;
}

const LibraryRecordView* LibraryReader::Next()
{
    if (!Fill(2))
        return nullptr;
    const std::size_t length = LoadLE16(std::span(buffer_).subspan(begin_, 2), 0);
    if (length > kLongestLibraryRecord || !Fill(2 + length))
        return nullptr;
    const auto body = std::span<const std::uint8_t>(buffer_).subspan(begin_ + 2, length);
    if (!ParseLibraryRecord(body, view_)) {
        atEnd_ = true;
        begin_ = end_;
        return nullptr;
    }
    begin_ += 2 + length;
    return &view_;
}

LibraryWriter::LibraryWriter(std::string nativePath)
    : path_(std::move(nativePath)), temporary_(path_ + ".tmp" + std::to_string(::getpid()))
{
    file_.Reset(::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file_)
        throw FileError("EFCreateError", "Cannot create file \"" + temporary_ + "\". " + std::strerror(errno));
    pending_.push_back(static_cast<char>(kLibraryVersion));
}

LibraryWriter::~LibraryWriter()
{
    if (file_) {
        file_.Close();
        ::unlink(temporary_.c_str());
    }
}

bool LibraryWriter::Add(const LibraryRecord& record)
{
    const auto bytes = EncodeLibraryRecord(record);
    if (!bytes)
        return false;
    pending_ += *bytes;
    if (pending_.size() >= kWriteChunk)
        Flush();
    return true;
}

void LibraryWriter::Flush()
{
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(file_.Get(), pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ThrowWriteError(temporary_);
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
}

void LibraryWriter::Commit()
{
    Flush();
    if (::fsync(file_.Get()) != 0)
        ThrowWriteError(temporary_);
    if (!file_.Close() || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        errno = error;
        ThrowWriteError(path_);
    }
}

} // namespace zd

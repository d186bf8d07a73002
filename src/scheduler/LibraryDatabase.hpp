#pragma once

#include "lib/posix/UniqueFileDescriptor.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

class TVRNFileStream;

// The library database: one file per category in the data folder
// ("Rock.dat", "{Oldies}.dat"), a version byte and then records. The layout
// is told field by field in docs/library-format.md.

inline constexpr std::uint8_t kLibraryVersion = 20;         // what this system writes
inline constexpr std::uint8_t kNewestRefusedVersion = 19;   // 19 or below is refused
inline constexpr std::size_t kLongestLibraryRecord = 2047;  // a longer one ends the scan
inline constexpr std::size_t kLibraryTextMax = 255;         // a text's length byte
inline constexpr std::size_t kRestrictionBytes = 52;
inline constexpr std::size_t kLastScheduledBytes = 72;
inline constexpr std::uint32_t kEmptyHistorySlot = 0x00210000; // 1980-01-01 00:00:00

using RestrictionBytes = std::array<std::uint8_t, kRestrictionBytes>;
using LastScheduledBytes = std::array<std::uint8_t, kLastScheduledBytes>;

// A fresh song restriction record (no range, every day and hour allowed).
RestrictionBytes FreshRestrictionBytes() noexcept;
// A history of 18 empty slots.
LastScheduledBytes EmptyLastScheduled() noexcept;

// One record with its fields as owned values. Texts are marked text.
struct LibraryRecord {
    std::string FileName;
    std::string Artist;
    std::string Title;
    std::string Album;
    std::string Genre;  // the fourth text
    std::string Mood;   // the fifth text
    std::uint16_t Year = 0;
    std::uint32_t DurationMs = 0;
    std::uint8_t BitRate = 0;  // kbit/s, 255 for 255 or more
    std::uint8_t Rating = 0;
    std::uint8_t Tempo = 0;    // "O": 1 (slow) to 5 (fast), 0 unknown
    std::uint8_t Energy = 0;   // "E": 1 to 5, 0 unknown
    std::uint8_t Era = 0;      // "D": 0 unknown
    std::uint32_t TransitionMs = 0;
    RestrictionBytes Restriction = FreshRestrictionBytes();
    LastScheduledBytes LastScheduled = EmptyLastScheduled();

    bool operator==(const LibraryRecord&) const = default;
};

// One record as it lies in a read buffer: views into the buffer, valid until
// the reader moves on. Parsing allocates nothing.
struct LibraryRecordView {
    std::string_view FileName, Artist, Title, Album, Genre, Mood;
    std::uint16_t Year = 0;
    std::uint32_t DurationMs = 0;
    std::uint8_t BitRate = 0, Rating = 0, Tempo = 0, Energy = 0, Era = 0;
    std::uint32_t TransitionMs = 0;
    std::span<const std::uint8_t> Restriction;    // kRestrictionBytes
    std::span<const std::uint8_t> LastScheduled;  // kLastScheduledBytes

    LibraryRecord ToRecord() const;
    // The newest history entry (the first slot), kEmptyHistorySlot when the
    // list is empty.
    std::uint32_t NewestLastScheduled() const noexcept;
};

// Reads the fields of one record body (the L bytes after the length) into
// view; false when the body is shorter than its fields. Bytes after the
// fields are ignored. noexcept.
bool ParseLibraryRecord(std::span<const std::uint8_t> body, LibraryRecordView& view) noexcept;

// The whole record, length included; nullopt when a text is longer than its
// length byte allows or the record would be longer than
// kLongestLibraryRecord. Never throws apart from allocation.
std::optional<std::string> EncodeLibraryRecord(const LibraryRecord& record);

// True when the record's file name names another database of the data
// folder: it ends in ".dat" (any letter case) and holds no "\", "/" or ":".
bool IsDatabaseReference(std::string_view fileName) noexcept;

// Reads a database from an open stream: the version byte, then records one by
// one through a buffer of its own. Not copyable.
class LibraryReader {
public:
    // Reads the version byte (0 when the file is empty). Throws FileError on
    // an I/O error.
    explicit LibraryReader(TVRNFileStream& stream);
    LibraryReader(const LibraryReader&) = delete;
    LibraryReader& operator=(const LibraryReader&) = delete;

    std::uint8_t Version() const noexcept { return version_; }
    // The next record, or nullptr at the end: the end of the file, a short
    // read, a length above kLongestLibraryRecord or a record shorter than its
    // fields. The view is valid until the next call. Throws FileError on an
    // I/O error.
    const LibraryRecordView* Next();

private:
    // True when wanted bytes are buffered, reading more when they are not.
    bool Fill(std::size_t wanted) { return end_ - begin_ >= wanted || Refill(wanted); }
    bool Refill(std::size_t wanted);

    TVRNFileStream& stream_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    std::uint8_t version_ = 0;
    LibraryRecordView view_;
};

// Writes a database to a temporary file beside the target and renames it
// into place on Commit, so a reader sees the old file or the new one, never
// half of one. The target is a native path. Without Commit the temporary
// file is removed. Not copyable.
class LibraryWriter {
public:
    // Throws FileError when the temporary file cannot be made.
    explicit LibraryWriter(std::string nativePath);
    ~LibraryWriter();
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;

    // Adds a record; false (nothing written) when it cannot be encoded.
    // Throws FileError on a write error.
    bool Add(const LibraryRecord& record);
    // Writes out the rest, syncs and renames over the target. Throws
    // FileError on failure (the temporary file is removed).
    void Commit();

private:
    void Flush();

    std::string path_;
    std::string temporary_;
    UniqueFileDescriptor file_;
    std::string pending_;
};

} // namespace zd

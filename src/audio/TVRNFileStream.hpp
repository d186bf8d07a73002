#pragma once

#include "lib/posix/UniqueFileDescriptor.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace zd {

// Mode words: an access value combined with a sharing value, or the create
// mode.
inline constexpr std::uint16_t kOpenRead = 0x0000;
inline constexpr std::uint16_t kOpenWrite = 0x0001;
inline constexpr std::uint16_t kOpenReadWrite = 0x0002;
inline constexpr std::uint16_t kShareCompat = 0x0000;    // shares nothing
inline constexpr std::uint16_t kShareExclusive = 0x0010; // shares nothing
inline constexpr std::uint16_t kShareDenyWrite = 0x0020; // others may only read
inline constexpr std::uint16_t kShareDenyRead = 0x0030;  // kept as sharing nothing
inline constexpr std::uint16_t kShareDenyNone = 0x0040;  // others may read and write
// Create (truncate or make a new file) for reading and writing, sharing
// nothing.
inline constexpr std::uint16_t kModeCreate = 0xFFFF;

// The system's text for an open that a share mode refuses.
inline constexpr const char* kFileInUseText =
    "The process cannot access the file because it is being used by another process";

// A seekable file stream with 64-bit size and position, opened from a
// marked name (see NativePath.hpp for the name mapping).
//
// Share modes are kept with open-file-description locks on the whole file,
// which hold between threads of this process and between processes: a
// handle that shares nothing holds a write lock, one that denies writers a
// read lock, one that denies nothing none. An open that asks for write
// access is refused while any other lock is held; a read-only open while a
// write lock is held. The create mode truncates only once its lock is held,
// so a refused create leaves the file as it was. Limits of the emulation:
// a handle that denies nothing holds no lock, so it is not seen by a later
// open that shares nothing; and its own check is not atomic with the open.
// Denying readers only is kept as sharing nothing.
//
// A stream is used by one thread at a time. Not copyable, movable.
class TVRNFileStream {
public:
    enum class Origin { Begin, Current, End };

    // Opens the file. Throws FileError ("EFOpenError", or "EFCreateError" for
    // the create mode) with the system's reason when the file cannot be
    // opened in that mode; a share conflict gives kFileInUseText.
    TVRNFileStream(std::string_view markedName, std::uint16_t mode);
    // The same, as the stream object the callers keep.
    static std::unique_ptr<TVRNFileStream> Create(std::string_view markedName, std::uint16_t mode);

    TVRNFileStream(TVRNFileStream&& other) noexcept = default;
    TVRNFileStream& operator=(TVRNFileStream&& other) noexcept = default;
    TVRNFileStream(const TVRNFileStream&) = delete;
    TVRNFileStream& operator=(const TVRNFileStream&) = delete;

    // Reads up to count bytes at the position and advances it; 0 at the end.
    // Throws FileError("EReadError") on an I/O error or a closed stream.
    std::size_t Read(void* buffer, std::size_t count);
    std::size_t Read(std::span<std::byte> buffer) { return Read(buffer.data(), buffer.size()); }
    // Reads exactly count bytes; throws FileError("EReadError") when fewer
    // are there.
    void ReadBuffer(void* buffer, std::size_t count);

    // Writes all bytes at the position and advances it. Throws
    // FileError("EWriteError") on failure or when opened without write access.
    std::size_t Write(const void* buffer, std::size_t count);
    std::size_t Write(std::span<const std::byte> data) { return Write(data.data(), data.size()); }
    void Write(std::string_view text) { Write(text.data(), text.size()); }

    // Moves the position (may go beyond the end); returns the new position.
    // Throws FileError on a negative result.
    std::int64_t Seek(std::int64_t offset, Origin origin);
    std::int64_t Position() const noexcept { return position_; }
    void SetPosition(std::int64_t position) { Seek(position, Origin::Begin); }

    // The size of the file. Throws FileError on a closed stream.
    std::int64_t Size() const;
    // Cuts or extends the file; the position stays unless beyond the new end,
    // then it moves to the end. Throws FileError on failure.
    void SetSize(std::int64_t size);
    // Cuts the file at the position.
    void Truncate() { SetSize(position_); }

    // Writes cached data to the disk. Throws FileError on failure.
    void Flush();

    // Closes the file and drops its lock; later calls throw. noexcept.
    void Close() noexcept;

    bool HasHandle() const noexcept { return fd_.IsDefined(); }
    int Handle() const noexcept { return fd_.Get(); }
    std::uint16_t Mode() const noexcept { return mode_; }
    const std::string& FileName() const noexcept { return name_; }     // as given
    const std::string& NativePath() const noexcept { return native_; } // as opened

private:
    UniqueFileDescriptor fd_;
    std::uint16_t mode_ = 0;
    bool canWrite_ = false;
    std::int64_t position_ = 0;
    std::string name_;
    std::string native_;
};

} // namespace zd

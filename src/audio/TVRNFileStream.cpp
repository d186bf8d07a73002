#include "audio/TVRNFileStream.hpp"

#include "audio/NativePath.hpp"
#include "common/Error.hpp"
#include "common/MarkedText.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zd {

namespace {

enum class Lock { None, Read, Write };

// The system's words for the usual causes.
std::string ReasonOf(int error, const std::string& native)
{
    switch (error) {
    case ENOENT: {
        const auto slash = native.rfind('/');
        struct stat st {};
        const bool folderThere = slash == std::string::npos
            || ::stat(native.substr(0, slash == 0 ? 1 : slash).c_str(), &st) == 0;
        return folderThere ? "The system cannot find the file specified" : "The system cannot find the path specified";
    }
    case ENOTDIR: return "The system cannot find the path specified";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return "Access is denied";
    case EAGAIN: return kFileInUseText;
    default: return std::strerror(error);
    }
}

[[noreturn]] void ThrowOpenError(bool create, std::string_view name, const std::string& reason)
{
    const std::string shown = MarkedToUtf8(name);
    if (create)
        throw FileError("EFCreateError", "Cannot create file \"" + shown + "\". " + reason);
    throw FileError("EFOpenError", "Cannot open file \"" + shown + "\". " + reason);
}

flock WholeFile(short type)
{
    flock fl{};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    fl.l_pid = 0;
    return fl;
}

// Locks fail closed: a file system that cannot lock refuses the open, so
// two saves can never write one playlist unseen. Each test gives 0 when the
// open may go on, the error that refuses it otherwise (EAGAIN for a conflict).

// No other open file description holds a lock that conflicts with one of
// the given type.
int NoConflict(int fd, short type)
{
    flock fl = WholeFile(type);
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0)
        return errno == 0 ? ENOLCK : errno;
    return fl.l_type == F_UNLCK ? 0 : EAGAIN;
}

// Takes the lock.
int TakeLock(int fd, short type)
{
    flock fl = WholeFile(type);
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0)
        return 0;
    return errno == EACCES ? EAGAIN : errno;
}

} // namespace

TVRNFileStream::TVRNFileStream(std::string_view markedName, std::uint16_t mode)
    : mode_(mode), name_(markedName)
{
    const bool create = mode == kModeCreate;
    const unsigned access = create ? kOpenReadWrite : (mode & 0x0003u);
    const unsigned share = create ? kShareExclusive : (mode & 0x00F0u);
    if (access == 3)
        ThrowOpenError(create, markedName, "The parameter is incorrect");
    Lock lock = Lock::Write;
    if (share == kShareDenyWrite)
        lock = Lock::Read;
    else if (share == kShareDenyNone)
        lock = Lock::None;

    const auto native = NativePathOf(markedName);
    if (!native)
        ThrowOpenError(create, markedName, "The system cannot find the path specified");
    native_ = *native;

    const bool wantRead = access != kOpenWrite;
    const bool wantWrite = access != kOpenRead;
    // A write lock needs a descriptor open for writing, a read lock one open
    // for reading: open read-write where the lock needs it and fall back to
    // the weaker lock the access allows when the file refuses.
    const bool needRead = wantRead || lock == Lock::Read;
    const bool needWrite = wantWrite || lock == Lock::Write;
    // Without blocking: a FIFO or a device must never hold the thread; only
    // regular files are opened (below).
    const int flags = O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT : 0);
    auto openWith = [&](bool r, bool w) {
        const int how = r && w ? O_RDWR : (w ? O_WRONLY : O_RDONLY);
        return ::open(native_.c_str(), flags | how, 0666);
    };
    UniqueFileDescriptor file(openWith(needRead, needWrite));
    if (!file && (errno == EACCES || errno == EROFS || errno == ETXTBSY) && (needRead != wantRead || needWrite != wantWrite)) {
        file.Reset(openWith(wantRead, wantWrite));
        if (file)
            lock = wantWrite ? Lock::Write : Lock::Read;
    }
    if (!file)
        ThrowOpenError(create, markedName, ReasonOf(errno, native_));

    const int fd = file.Get();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ThrowOpenError(create, markedName, S_ISDIR(st.st_mode) ? "Access is denied"
                                                                : "The system cannot find the file specified");
    }

    // A writer is refused while any other lock is held, a reader while a
    // write lock is held; the handle's own lock then keeps others out.
    int refused = 0;
    switch (lock) {
    case Lock::Write:
        refused = TakeLock(fd, F_WRLCK);
        break;
    case Lock::Read:
        refused = wantWrite ? NoConflict(fd, F_WRLCK) : 0;
        if (refused == 0)
            refused = TakeLock(fd, F_RDLCK);
        break;
    case Lock::None:
        refused = NoConflict(fd, wantWrite ? F_WRLCK : F_RDLCK);
        break;
    }
    if (refused != 0)
        ThrowOpenError(create, markedName, ReasonOf(refused, native_));
    if (create && ::ftruncate(fd, 0) != 0)
        ThrowOpenError(create, markedName, ReasonOf(errno, native_));
    fd_ = std::move(file);
    canWrite_ = wantWrite;
}

std::unique_ptr<TVRNFileStream> TVRNFileStream::Create(std::string_view markedName, std::uint16_t mode)
{
    return std::make_unique<TVRNFileStream>(markedName, mode);
}

void TVRNFileStream::Close() noexcept
{
    fd_.Close();
}

std::size_t TVRNFileStream::Read(void* buffer, std::size_t count)
{
    if (!fd_)
        throw FileError("EReadError", "Stream read error");
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_.Get(), out + done, count - done, static_cast<off_t>(position_));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError("EReadError", std::string("Stream read error: ") + std::strerror(errno));
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
        position_ += n;
    }
    return done;
}

void TVRNFileStream::ReadBuffer(void* buffer, std::size_t count)
{
    if (Read(buffer, count) != count)
        throw FileError("EReadError", "Stream read error");
}

std::size_t TVRNFileStream::Write(const void* buffer, std::size_t count)
{
    if (!fd_ || !canWrite_)
        throw FileError("EWriteError", "Stream write error");
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd_.Get(), in + done, count - done, static_cast<off_t>(position_));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError("EWriteError", std::string("Stream write error: ") + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
        position_ += n;
    }
    return done;
}

std::int64_t TVRNFileStream::Seek(std::int64_t offset, Origin origin)
{
    std::int64_t base = 0;
    if (origin == Origin::Current)
        base = position_;
    else if (origin == Origin::End)
        base = Size();
    const std::int64_t target = base + offset;
    if (target < 0)
        throw FileError("EStreamError", "Invalid stream position");
    position_ = target;
    return position_;
}

std::int64_t TVRNFileStream::Size() const
{
    struct stat st {};
    if (!fd_ || ::fstat(fd_.Get(), &st) != 0)
        throw FileError("EReadError", "Stream read error");
    return static_cast<std::int64_t>(st.st_size);
}

void TVRNFileStream::SetSize(std::int64_t size)
{
    if (!fd_ || !canWrite_ || size < 0)
        throw FileError("EWriteError", "Stream write error");
    if (::ftruncate(fd_.Get(), static_cast<off_t>(size)) != 0)
        throw FileError("EWriteError", std::string("Stream write error: ") + std::strerror(errno));
    if (position_ > size)
        position_ = size;
}

void TVRNFileStream::Flush()
{
    if (!fd_)
        throw FileError("EWriteError", "Stream write error");
    if (canWrite_ && ::fdatasync(fd_.Get()) != 0 && errno != EINVAL && errno != EROFS)
        throw FileError("EWriteError", std::string("Stream write error: ") + std::strerror(errno));
}

} // namespace zd

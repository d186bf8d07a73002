#include "audio/FileOps.hpp"

#include "audio/NativePath.hpp"
#include "common/CodePage.hpp"
#include "common/MarkedText.hpp"
#include "lib/posix/UniqueFileDescriptor.hpp"
#include "common/Texts.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace zd {

namespace {

// True when another handle holds any lock on the file: Windows refuses to
// delete or move a file that is open without delete sharing, and every
// locked handle here stands for such an open.
bool HeldByOthers(const std::string& native)
{
    const UniqueFileDescriptor file(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file)
        return false;
    flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(file.Get(), F_OFD_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Copies a file into a new one (never over an existing one), keeping its
// permission bits and times; used to move across file systems.
bool CopyToNew(const std::string& from, const std::string& to)
{
    const UniqueFileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.Get(), &st) != 0)
        return false;
    const UniqueFileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
    if (!out)
        return false;
    std::array<char, 65536> buffer{};
    bool ok = true;
    while (ok) {
        const ssize_t n = ::read(in.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n && ok;) {
            const ssize_t w = ::write(out.Get(), buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::futimens(out.Get(), times) == 0 && ::fsync(out.Get()) == 0;
    if (!ok)
        ::unlink(to.c_str());
    return ok;
}

bool MoveWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EXDEV)
        return CopyToNew(from, to) && ::unlink(from.c_str()) == 0;
    if (errno == EINVAL || errno == ENOSYS) {
        // No RENAME_NOREPLACE on this file system: a hard link fails on an
        // existing name just as well.
        if (::link(from.c_str(), to.c_str()) == 0)
            return ::unlink(from.c_str()) == 0;
        if (errno == EXDEV)
            return CopyToNew(from, to) && ::unlink(from.c_str()) == 0;
    }
    return false;
}

} // namespace

bool FileExistsMarked(std::string_view markedName)
{
    const auto native = NativePathOf(markedName);
    struct stat st {};
    return native && ::stat(native->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFileMarked(std::string_view markedName)
{
    const auto native = NativePathOf(markedName);
    struct stat st {};
    if (!native || ::lstat(native->c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (HeldByOthers(*native))
        return false;
    return ::unlink(native->c_str()) == 0;
}

bool RenameFileMarked(std::string_view oldMarkedName, std::string_view newMarkedName)
{
    const auto from = NativePathOf(oldMarkedName);
    const auto to = NativePathOf(newMarkedName);
    struct stat old {};
    if (!from || !to || ::lstat(from->c_str(), &old) != 0 || S_ISDIR(old.st_mode))
        return false;
    if (HeldByOthers(*from))
        return false;
    struct stat target {};
    if (::lstat(to->c_str(), &target) == 0) {
        if (target.st_dev != old.st_dev || target.st_ino != old.st_ino)
            return false; // never overwrite another file
        // The same file under another letter case: rename to the name as
        // written.
        const std::string written = MarkedToUtf8(newMarkedName);
        const auto cut = written.find_last_of("\\/");
        const std::string wanted = FolderOf(*to) + (cut == std::string::npos ? written : written.substr(cut + 1));
        if (wanted == *from)
            return true;
        return ::rename(from->c_str(), wanted.c_str()) == 0;
    }
    return MoveWithoutReplacing(*from, *to);
}

std::string ExtensionLower(std::string_view name)
{
    const auto cut = name.find_last_of("\\/:");
    const std::string_view file = cut == std::string_view::npos ? name : name.substr(cut + 1);
    const auto dot = file.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return AsciiLower(file.substr(dot));
}

bool PlaylistOrProgram(std::string_view markedName)
{
    const std::string ext = ExtensionLower(markedName);
    for (const char* listed : {".m3u", ".pls", ".asx", ".exe", ".bat", ".cmd"})
        if (ext == listed)
            return true;
    return false;
}

std::string ResolveRelativePath(std::string_view listFile, std::string_view entry)
{
    const std::u16string list = MarkedToWide(listFile);
    const std::u16string item = MarkedToWide(entry);
    if (item.size() <= 1 || item[1] == u':' || item.starts_with(u"\\\\"))
        return std::string(entry);
    const auto cut = list.find_last_of(u"\\/");
    const std::u16string folder = cut == std::u16string::npos ? std::u16string() : list.substr(0, cut + 1);
    std::u16string candidate;
    if (item[0] == u'\\') {
        const std::u16string drive = list.size() >= 2 && list[1] == u':' ? list.substr(0, 2) : std::u16string();
        candidate = drive + item;
    } else if (item.starts_with(u".\\")) {
        candidate = folder + item.substr(2);
    } else if (item.starts_with(u"..\\")) {
        std::u16string parent = folder;
        if (!parent.empty())
            parent.pop_back();
        const auto up = parent.find_last_of(u"\\/");
        parent = up == std::u16string::npos ? std::u16string() : parent.substr(0, up + 1);
        candidate = parent + item.substr(3);
    } else {
        candidate = folder + item;
    }
    const std::string marked = WideToMarked(candidate);
    if (!FileExistsMarked(marked))
        return std::string(entry);
    return marked;
}

} // namespace zd

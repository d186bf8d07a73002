#include "audio/TempFiles.hpp"

#include "audio/NativePath.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace zd {
namespace {

// Another open file description holds a lock on the file.
bool LockedByOthers(const std::string& native)
{
    const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

void SyncFolderOf(const std::string& native)
{
    const auto slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

} // namespace

std::string TempPathOf(std::string_view target)
{
    return std::string(target) + std::string(kTempSuffix);
}

bool IsTempName(std::string_view name) noexcept
{
    if (name.size() <= kTempSuffix.size())
        return false;
    const std::string_view tail = name.substr(name.size() - kTempSuffix.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] + 32) : tail[i];
        if (c != kTempSuffix[i])
            return false;
    }
    return true;
}

bool ReplaceFileMarked(std::string_view completeName, std::string_view targetName)
{
    const auto from = NativePathOf(completeName);
    const auto to = NativePathOf(targetName);
    if (!from || !to)
        return false;
    struct stat target {};
    if (::lstat(to->c_str(), &target) == 0 && (S_ISDIR(target.st_mode) || LockedByOthers(*to)))
        return false;
    if (std::rename(from->c_str(), to->c_str()) != 0)
        return false;
    SyncFolderOf(*to);
    return true;
}

int RemoveTempFiles(std::string_view folder)
{
    const auto native = NativePathOf(folder);
    if (!native)
        return 0;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(native->c_str()));
    if (!dir)
        return 0;
    const std::string base = native->back() == '/' ? *native : *native + "/";
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string path = base + entry->d_name;
        struct stat st {};
        if (IsTempName(entry->d_name) && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
            && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace zd

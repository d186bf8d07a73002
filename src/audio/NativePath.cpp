#include "audio/NativePath.hpp"

#include "common/CodePage.hpp"
#include "common/MarkedText.hpp"
#include "common/Texts.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace zd {

namespace {

struct DriveMap {
    std::shared_mutex mutex;
    std::string folder; // native, ends in "/"; "" when none
};

DriveMap& TheDriveMap()
{
    static DriveMap map;
    return map;
}

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EntryExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsAscii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The form of a name compared without regard to letter case.
std::string FoldKey(std::string_view utf8)
{
    if (IsAscii(utf8))
        return AsciiLower(utf8);
    const auto wide = Utf8ToWide(utf8);
    if (!wide)
        return std::string(utf8);
    return WideToUtf8(WideLower(*wide));
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

// The entry of the folder whose name equals component without regard to
// letter case; the smallest such name when several do, "" when none does.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& component)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "/" : folder.c_str()));
    if (!dir)
        return {};
    const bool asciiComponent = IsAscii(component);
    const std::string key = FoldKey(component);
    std::string found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool same = false;
        if (asciiComponent && IsAscii(name))
            same = name.size() == key.size() && SameAsciiIgnoringCase(name, key);
        else
            same = FoldKey(name) == key;
        if (same && (found.empty() || name < found))
            found = std::string(name);
    }
    return found;
}

std::vector<std::string> SplitComponents(std::string_view path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t at = path.find('/', start);
        const std::string_view part = path.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (!part.empty())
            parts.emplace_back(part);
        if (at == std::string_view::npos)
            break;
        start = at + 1;
    }
    return parts;
}

// Joins the components to base, matching each one that does not exist as
// written without regard to letter case.
std::string Resolve(const std::string& base, const std::vector<std::string>& parts, bool trailingSlash)
{
    if (parts.empty())
        return base.empty() ? std::string("/") : base + (trailingSlash ? "/" : "");
    std::string exact = base;
    for (const auto& part : parts)
        exact += (exact.empty() || exact.back() != '/' ? "/" : "") + part;
    if (EntryExists(exact))
        return exact + (trailingSlash ? "/" : "");
    std::string path = base;
    bool searching = true;
    for (const auto& part : parts) {
        const std::string folder = path;
        if (path.empty() || path.back() != '/')
            path += '/';
        if (searching && part != "." && part != "..") {
            const std::string candidate = path + part;
            if (EntryExists(candidate)) {
                path = candidate;
                continue;
            }
            const std::string match = FindEntryIgnoringCase(folder, part);
            if (!match.empty()) {
                path += match;
                continue;
            }
            searching = false; // nothing below a missing component exists
        }
        path += part;
    }
    return path + (trailingSlash ? "/" : "");
}

std::optional<std::string> DriveFolder(char letter)
{
    std::string map;
    {
        std::shared_lock lock(TheDriveMap().mutex);
        map = TheDriveMap().folder;
    }
    if (map.empty())
        return std::nullopt;
    const char lower = AsciiLower(letter);
    const char upper = AsciiUpper(letter);
    for (const char c : {lower, upper}) {
        std::string entry = map + c + ":";
        if (IsDirectory(entry))
            return entry;
    }
    return std::nullopt;
}

} // namespace

void SetInstallationRoot(const std::string& rootFolder)
{
    std::string found;
    std::error_code error;
    std::filesystem::path folder;
    if (!rootFolder.empty())
        folder = std::filesystem::absolute(rootFolder, error);
    if (!rootFolder.empty() && !error) {
        folder = folder.lexically_normal();
        while (true) {
            const std::filesystem::path candidate = folder / "dosdevices";
            if (IsDirectory(candidate.string())) {
                found = candidate.string();
                if (found.back() != '/')
                    found += '/';
                break;
            }
            if (!folder.has_relative_path())
                break;
            const std::filesystem::path parent = folder.parent_path();
            if (parent == folder)
                break;
            folder = parent;
        }
    }
    std::unique_lock lock(TheDriveMap().mutex);
    TheDriveMap().folder = found;
}

std::string DriveMapFolder()
{
    std::shared_lock lock(TheDriveMap().mutex);
    return TheDriveMap().folder;
}

std::optional<std::string> NativePathOf(std::string_view markedName)
{
    std::string path = MarkedToUtf8(markedName);
    if (path.empty() || path.find('\0') != std::string::npos)
        return std::nullopt;
    for (auto& c : path)
        if (c == '\\')
            c = '/';
    if (path.size() >= 2 && path[0] == '/' && path[1] == '/')
        return std::nullopt; // UNC names are not supported
    const bool trailingSlash = path.back() == '/';
    const bool drive = path.size() >= 2 && path[1] == ':'
        && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
    if (drive) {
        const auto root = DriveFolder(path[0]);
        if (!root)
            return std::nullopt;
        // "." and ".." are taken by name, never above the drive's root, as
        // on Windows.
        std::vector<std::string> parts;
        for (auto& part : SplitComponents(std::string_view(path).substr(2))) {
            if (part == ".")
                continue;
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
                continue;
            }
            parts.push_back(std::move(part));
        }
        return Resolve(*root, parts, trailingSlash);
    }
    if (path[0] == '/')
        return Resolve("", SplitComponents(path), trailingSlash);
    return path; // a relative native name stays as it is
}

bool IsClientFileName(std::string_view markedName)
{
    const std::string name = MarkedToUtf8(markedName);
    const bool letter = name.size() >= 3 && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
    return letter && name[1] == ':' && (name[2] == '\\' || name[2] == '/') && DriveFolder(name[0]).has_value();
}

std::optional<std::string> DriveNameOf(const std::string& nativePath)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target = fs::weakly_canonical(nativePath, error);
    if (error)
        return std::nullopt;
    std::optional<std::string> best;
    std::size_t bestDepth = 0;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const auto folder = DriveFolder(letter);
        if (!folder)
            continue;
        const fs::path root = fs::weakly_canonical(*folder, error);
        if (error)
            continue;
        const auto [rootEnd, targetAt] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
        if (rootEnd != root.end())
            continue;
        const std::size_t depth = static_cast<std::size_t>(std::distance(root.begin(), root.end()));
        if (best && depth <= bestDepth)
            continue;
        std::string name(1, static_cast<char>(letter - 32));
        name += ":";
        for (auto part = targetAt; part != target.end(); ++part)
            name += "\\" + part->string();
        if (targetAt == target.end())
            name += "\\";
        best = MarkIfHigh(name);
        bestDepth = depth;
    }
    return best;
}

} // namespace zd

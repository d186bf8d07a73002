#pragma once

// A fresh folder under the system's temporary folder, removed with all it
// holds at the end.

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace zd::testsupport {

class TempFolder {
public:
    // Throws std::filesystem::filesystem_error when the folder cannot be made.
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zd-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::filesystem::filesystem_error("cannot make a temporary folder", pattern,
                                                    std::error_code(errno, std::generic_category()));
        path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const noexcept { return path_; }
    std::string File(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace zd::testsupport

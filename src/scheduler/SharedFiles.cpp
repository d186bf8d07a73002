#include "scheduler/SharedFiles.hpp"

#include "audio/FileOps.hpp"
#include "audio/NativePath.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/TVRNFileStream.hpp"
#include "audio/TextFileReader.hpp"
#include "common/MarkedText.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include <chrono>
#include <filesystem>
#include <thread>

namespace zd {
namespace {

constexpr int kEditingProbeAttempts = 3;   // 500 ms apart (the opener's pause)
constexpr int kPublishAttempts = 3;
constexpr std::chrono::milliseconds kPublishPause{250};

bool EndsWithPlg(const std::string& name)
{
    return name.size() > 4 && ExtensionLower(name) == ".plg";
}

} // namespace

std::vector<std::string> ListPlaylists()
{
    std::vector<std::string> names;
    const auto folder = NativePathOf(PlaylistFolder());
    if (!folder)
        return names;
    std::error_code error;
    std::filesystem::directory_iterator it(*folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.empty() || name.front() == '.' || !it->is_regular_file(typeError))
            continue;
        if (EndsWithPlg(name))
            names.push_back(name);
    }
    return names;
}

std::optional<std::string> CategoryNameOfLine(std::string_view line)
{
    if (!line.empty() && line.front() == '"') {
        const auto close = line.find("\",", 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        return std::string(line.substr(0, close + 1));
    }
    const auto comma = line.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    return std::string(line.substr(0, comma));
}

std::vector<std::string> ReadCategoryNames(bool spots)
{
    std::vector<std::string> names;
    try {
        TextFileReader file;
        file.Open(DataFolder() + (spots ? "Spots.dat" : "Categories.dat"));
        std::string line;
        while (file.ReadLine(line)) {
            if (auto name = CategoryNameOfLine(line))
                names.push_back(std::move(*name));
        }
    } catch (const std::exception&) {
        names.clear();
    }
    return names;
}

std::string ConnectedUsersFilePath()
{
    return PlaylistFolder() + "VTUsers.log";
}

bool IsSchedulerEditing() noexcept
{
    try {
        const std::string path = ConnectedUsersFilePath();
        if (!FileExistsMarked(path))
            return false;
        return OpenFileStreamRetry(path, kEditingProbeAttempts, kOpenRead | kShareExclusive) == nullptr;
    } catch (...) {
        return false;
    }
}

std::string ConnectedUsersFileBytes(const std::vector<std::string>& entries)
{
    std::u16string text;
    for (const auto& entry : entries) {
        text += MarkedToWide(entry);
        text += u"\r\n";
    }
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

void PublishConnectedUsers(const std::vector<std::string>& entries) noexcept
{
    try {
        const std::string path = ConnectedUsersFilePath();
        if (!FileExistsMarked(path))
            return;
        const std::string bytes = ConnectedUsersFileBytes(entries);
        for (int attempt = 1; attempt <= kPublishAttempts; ++attempt) {
            try {
                TVRNFileStream file(path, kModeCreate);
                file.Write(std::string_view(bytes));
                return;
            } catch (const std::exception&) {
                if (attempt < kPublishAttempts)
                    std::this_thread::sleep_for(kPublishPause);
            }
        }
    } catch (...) {
        // the file is simply left as it was
    }
}

} // namespace zd

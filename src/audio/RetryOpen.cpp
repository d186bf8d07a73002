#include "audio/RetryOpen.hpp"

#include "audio/FileOps.hpp"
#include "audio/NativePath.hpp"
#include "common/MarkedText.hpp"
#include "lib/posix/UniqueFileDescriptor.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <exception>
#include <thread>

namespace zd {

namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(500);

std::string& TheLastError() noexcept
{
    thread_local std::string text;
    return text;
}

bool AsksForWrite(std::uint16_t mode)
{
    return mode == kModeCreate || (mode & 0x0003u) == kOpenWrite || (mode & 0x0003u) == kOpenReadWrite;
}

// Up to attempts tries of open, kRetryPause apart; each failure's message
// goes to LastFileError.
template <typename Open>
bool Retry(int attempts, Open&& open)
{
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        try {
            open();
            return true;
        } catch (const std::exception& error) {
            SetLastFileError(error.what());
        } catch (...) {
            SetLastFileError("Unknown error");
        }
        if (attempt < attempts)
            std::this_thread::sleep_for(kRetryPause);
    }
    return false;
}

// Makes the file empty when it does not exist; an existing one is left as
// it is. False (with the reason in LastFileError) when it cannot be made.
bool MakeEmptyFile(std::string_view markedPath)
{
    const auto native = NativePathOf(markedPath);
    if (UniqueFileDescriptor(native ? ::open(native->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666) : -1))
        return true;
    if (native && errno == EEXIST)
        return true;
    const char* reason = !native || errno == ENOENT || errno == ENOTDIR ? "The system cannot find the path specified"
                                                                       : "Access is denied";
    SetLastFileError("Cannot create file \"" + MarkedToUtf8(markedPath) + "\". " + reason);
    return false;
}

} // namespace

std::string LastFileError()
{
    return TheLastError();
}

void SetLastFileError(std::string message)
{
    TheLastError() = std::move(message);
}

std::unique_ptr<TVRNFileStream> OpenWideFileStreamRetry(
    std::string_view markedPath, int attempts, std::uint16_t mode)
{
    std::unique_ptr<TVRNFileStream> stream;
    try {
        Retry(attempts, [&] { stream = TVRNFileStream::Create(markedPath, mode); });
    } catch (...) {
        stream.reset();
    }
    return stream;
}

std::unique_ptr<TVRNFileStream> OpenFileStreamRetry(
    std::string_view markedPath, int attempts, std::uint16_t mode)
{
    if (attempts <= 0)
        return nullptr;
    try {
        if (AsksForWrite(mode) && !FileExistsMarked(markedPath) && !MakeEmptyFile(markedPath))
            return nullptr;
    } catch (...) {
        return nullptr;
    }
    return OpenWideFileStreamRetry(markedPath, attempts, mode);
}

bool OpenTextFileRetry(TextFileReader& file, std::string_view markedPath, int attempts)
{
    try {
        file.Close();
        if (!FileExistsMarked(markedPath))
            return false;
        return Retry(attempts, [&] { file.Open(markedPath); });
    } catch (...) {
        return false;
    }
}

std::string ReadWholeTextFile(std::string_view markedPath)
{
    try {
        TVRNFileStream stream(markedPath, kOpenRead | kShareDenyNone);
        std::string text;
        char buffer[65536];
        while (const std::size_t n = stream.Read(buffer, sizeof buffer))
            text.append(buffer, n);
        return text;
    } catch (const std::exception& error) {
        return std::string("Error>") + error.what();
    } catch (...) {
        return "Error>Unknown error";
    }
}

bool CanOpenForReading(std::string_view markedPath)
{
    try {
        TVRNFileStream stream(markedPath, kOpenRead | kShareDenyNone);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace zd

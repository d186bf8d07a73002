#pragma once

// Targets whose reader takes a file: the input is written to a file in a
// folder of this process under /tmp, removed again when the process ends.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace zd::fuzz {

// The process's own folder, made on first use.
inline const std::filesystem::path& FuzzFolder()
{
    static const std::filesystem::path folder = [] {
        const auto path = std::filesystem::temp_directory_path() / ("zd-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] { std::error_code ignored; std::filesystem::remove_all(FuzzFolder(), ignored); });
        return path;
    }();
    return folder;
}

// Writes the input as `relative` below the folder (making its folders) and
// returns the file's path.
inline std::string WriteInput(const std::string& relative, const std::uint8_t* data, std::size_t size)
{
    const auto path = FuzzFolder() / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path.string();
}

} // namespace zd::fuzz

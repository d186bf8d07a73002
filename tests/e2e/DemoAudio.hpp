#pragma once

// The demo's generated music (scripts/make-demo-audio), made once per build
// and per version of the script into the build folder, then copied into each
// demo copy. Several test processes may make it at the same time: each makes
// its own in a fresh folder and renames it into place; the first wins.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace zd::e2e {

inline std::filesystem::path DemoMusicCache()
{
    namespace fs = std::filesystem;
    static std::mutex guard;
    const std::lock_guard lock(guard);
    const fs::path script = fs::path(ZD_SOURCE_DIR) / "scripts" / "make-demo-audio";
    std::ifstream in(script, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (text.empty())
        throw std::runtime_error("cannot read " + script.string());
    const fs::path cache = fs::path(ZD_BINARY_DIR)
                           / ("demo-audio-" + std::to_string(std::hash<std::string>{}(text)));
    if (fs::exists(cache / "Music"))
        return cache / "Music";

    const fs::path work = cache.string() + ".tmp" + std::to_string(::getpid());
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string command = "'" + script.string() + "' '" + work.string() + "'";
    if (std::system(command.c_str()) != 0) {
        fs::remove_all(work);
        throw std::runtime_error("make-demo-audio failed");
    }
    std::error_code raced;
    fs::rename(work, cache, raced); // a cache made meanwhile by another process stays
    fs::remove_all(work, raced);
    return cache / "Music";
}

} // namespace zd::e2e

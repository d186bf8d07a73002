#include "common/StartupFacts.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace zd {

namespace {

constexpr std::size_t kLongestScan = 64u << 20; // version resources sit well inside this

std::uint32_t U32At(const std::vector<unsigned char>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8
        | static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::string VersionText(unsigned a, unsigned b, unsigned c, unsigned d)
{
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a, b, c, d);
    return text;
}

} // namespace

std::string FileVersionText(const std::string& path)
{
    try {
        if (path.empty()) {
            unsigned v[4] = {0, 0, 0, 0};
            std::sscanf(ZODAVIZI_VERSION, "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
            return VersionText(v[0], v[1], v[2], v[3]);
        }
        // A Windows executable keeps its version in a fixed-info record that
        // starts with the signature 0xFEEF04BD inside its version resource.
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return {};
        std::vector<unsigned char> bytes(2);
        file.read(reinterpret_cast<char*>(bytes.data()), 2);
        if (file.gcount() != 2 || bytes[0] != 'M' || bytes[1] != 'Z')
            return {};
        file.seekg(0);
        bytes.assign(kLongestScan, 0);
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(file.gcount()));
        const unsigned char signature[] = {0xBD, 0x04, 0xEF, 0xFE};
        auto at = bytes.begin();
        while ((at = std::search(at, bytes.end(), std::begin(signature), std::end(signature))) != bytes.end()) {
            const auto offset = static_cast<std::size_t>(at - bytes.begin());
            if (offset % 4 == 0 && offset + 16 <= bytes.size() && U32At(bytes, offset + 4) == 0x00010000) {
                const std::uint32_t ms = U32At(bytes, offset + 8);
                const std::uint32_t ls = U32At(bytes, offset + 12);
                return VersionText(ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
            }
            ++at;
        }
    } catch (...) {
    }
    return {};
}

} // namespace zd

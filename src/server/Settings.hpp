#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zd {

// The server's settings record with its defaults. Reserved fields are kept
// as read from the configuration file and written back unchanged.
struct Settings {
    bool ServerEnabled = true;
    std::uint8_t Reserved1 = 0;
    bool VisibleAtStartup = true;
    std::uint16_t Port = 2323;
    std::array<std::uint8_t, 2> Reserved5{};
    std::array<std::uint8_t, 23> Reserved7{};
    std::array<std::uint8_t, 81> Reserved30{};
    std::uint16_t MaxLogEntries = 100;
    std::int8_t BitrateIndex = 1; // 0 "48k mono", 1 "64k mono", 2 "96k stereo", 3 "128k stereo"
    bool UPnPEnabled = true;
    std::string MasterPassword;   // at most 15 characters
    std::uint16_t VTLimit = 120;  // seconds
    std::uint16_t FormatVersion = 0;
};

} // namespace zd

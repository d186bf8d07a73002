#pragma once

#include <cstdint>
#include <string>

namespace zd {

// The prefixes of the preview log lines: "Audio: " for the request, and
// "Audio Stream <slot>: " for a running stream (translated words).
std::string AudioPrefix();
std::string StreamPrefix(std::uint8_t slot);

} // namespace zd

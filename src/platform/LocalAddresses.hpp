#pragma once

#include <string>
#include <vector>

namespace zd {

// The machine's local IPv4 addresses in dotted decimal, in the order the
// system gives them (getifaddrs). Empty when they cannot be read. noexcept
// apart from allocation.
std::vector<std::string> LocalIPv4Addresses();

// The address to announce: the first beginning with "192.168" or "10.";
// else the first containing "."; else the first; else "". noexcept apart
// from allocation.
std::string ChooseLocalAddress(const std::vector<std::string>& addresses);

} // namespace zd
